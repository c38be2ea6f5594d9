#include "ui/headless_window.h"

#include <utility>

namespace catpub::ui {

HeadlessWindow::HeadlessWindow(std::string current_drive, std::ostream& messages)
    : current_drive_(std::move(current_drive)), messages_(messages) {}

void HeadlessWindow::SetTillNumber(const std::string& text) { till_number_ = text; }

std::string HeadlessWindow::CurrentDrive() { return current_drive_; }

// Timer2 never ticks here: there is nothing to switch off.
void HeadlessWindow::DisableTimer2() {}

void HeadlessWindow::ProcessPendingEvents() {}

void HeadlessWindow::ShowMessage(const std::string& text) { messages_ << text << std::endl; }

void HeadlessWindow::Unload() {
  if (!loaded_) return;
  loaded_ = false;
  events_->Form_Unload();
}

bool HeadlessWindow::Loaded() const { return loaded_; }

bool HeadlessWindow::ShowsMessageBoxes() const { return false; }

bool HeadlessWindow::Run(FormEvents& events) {
  events_ = &events;
  loaded_ = true;
  events.Form_Load();
  if (!loaded_) return false;
  // Here the window would be shown until someone pressed "Uscita"; nobody can, so the run ends now.
  Unload();
  return true;
}

}  // namespace catpub::ui
