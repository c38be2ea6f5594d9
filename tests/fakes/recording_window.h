// A window without a screen that records what the logic did to it, in order. Hooks let a test run
// Form1's handlers where the real window would (Form_Unload on Unload, a Timer2 tick inside
// ProcessPendingEvents). As a host it runs a window's life as the headless window
// does: Form_Load, then the end at once.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/window.h"

namespace catpub::testing {

class RecordingWindow : public ui::WindowHost {
 public:
  // What CurrentDrive returns.
  std::string drive = "c:";
  // Run inside ProcessPendingEvents, e.g. a Timer2 tick; empty does nothing.
  std::function<void()> on_process_pending_events;
  // Run at the start of CurrentDrive, e.g. to throw what a failing platform would; empty does
  // nothing.
  std::function<void()> on_current_drive;
  // Raised by the first Unload, as the real window raises Form_Unload.
  ui::FormEvents* events = nullptr;
  // What ShowsMessageBoxes says: true as the FLTK window, false as the headless window.
  bool shows_message_boxes = true;

  // Every operation in order: "SetTillNumber(12)", "CurrentDrive()", "DisableTimer2()",
  // "ProcessPendingEvents()", "ShowMessage(text)", "Unload()".
  const std::vector<std::string>& calls() const { return calls_; }
  const std::vector<std::string>& till_numbers() const { return till_numbers_; }
  bool timer2_enabled() const { return timer2_enabled_; }

  void SetTillNumber(const std::string& text) override {
    calls_.push_back("SetTillNumber(" + text + ")");
    till_numbers_.push_back(text);
  }
  std::string CurrentDrive() override {
    calls_.push_back("CurrentDrive()");
    if (on_current_drive) on_current_drive();
    return drive;
  }
  void DisableTimer2() override {
    calls_.push_back("DisableTimer2()");
    timer2_enabled_ = false;
  }
  void ProcessPendingEvents() override {
    calls_.push_back("ProcessPendingEvents()");
    if (on_process_pending_events) on_process_pending_events();
  }
  void ShowMessage(const std::string& text) override {
    calls_.push_back("ShowMessage(" + text + ")");
  }
  void Unload() override {
    calls_.push_back("Unload()");
    if (!loaded_) return;
    loaded_ = false;
    if (events != nullptr) events->Form_Unload();
  }
  bool Loaded() const override { return loaded_; }
  bool ShowsMessageBoxes() const override { return shows_message_boxes; }
  bool Run(ui::FormEvents& form) override {
    events = &form;
    form.Form_Load();
    const bool shown = loaded_;
    Unload();
    return shown;
  }

 private:
  std::vector<std::string> calls_;
  std::vector<std::string> till_numbers_;
  bool timer2_enabled_ = true;
  bool loaded_ = true;
};

}  // namespace catpub::testing
