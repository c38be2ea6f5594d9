// A window that records what the logic asked of it, in order, as one line per call. As a host it
// runs a window's life as the headless window does: Form_Load, then the end at once.
#pragma once

#include <string>
#include <vector>

#include "ui/window.h"

namespace catpub::testing {

class FakeWindow : public ui::WindowHost {
 public:
  explicit FakeWindow(std::string drive = "c:") : drive_(std::move(drive)) {}
  // Unload raises Form_Unload on these handlers.
  void Attach(ui::FormEvents& events) { events_ = &events; }

  void SetTillNumber(const std::string& text) override {
    till_number = text;
    calls.push_back("SetTillNumber " + text);
  }
  std::string CurrentDrive() override { return drive_; }
  void DisableTimer2() override { calls.push_back("DisableTimer2"); }
  void ProcessPendingEvents() override { calls.push_back("ProcessPendingEvents"); }
  void ShowMessage(const std::string& text) override { calls.push_back("ShowMessage " + text); }
  void Unload() override {
    if (!loaded_) return;
    calls.push_back("Unload");
    loaded_ = false;
    if (events_) events_->Form_Unload();
  }
  bool Loaded() const override { return loaded_; }
  bool Run(ui::FormEvents& events) override {
    Attach(events);
    events.Form_Load();
    const bool shown = loaded_;
    Unload();
    return shown;
  }

  std::vector<std::string> calls;
  std::string till_number;  // empty until set

 private:
  std::string drive_;
  ui::FormEvents* events_ = nullptr;
  bool loaded_ = true;
};

}  // namespace catpub::testing
