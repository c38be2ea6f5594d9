// A fake Form1 handler set: records the events a window raises, in order, and reacts as a test
// tells it to. By default "Uscita" unloads the window, as the real handler does.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "ui/window.h"

namespace catpub::testing {

class RecordingForm : public ui::FormEvents {
 public:
  using Clock = std::chrono::steady_clock;

  explicit RecordingForm(ui::Window& window) : window_(window) {}

  std::function<void()> on_load = [] {};
  std::function<void()> on_click = [this] { window_.Unload(); };
  std::function<void()> on_tick = [] {};

  // Form_Load, Form_Unload and Command1_Click in the order raised; ticks are kept apart.
  std::vector<std::string> events;
  std::vector<Clock::time_point> ticks;

  void Form_Load() override {
    events.push_back("Form_Load");
    on_load();
  }
  void Form_Unload() override { events.push_back("Form_Unload"); }
  void Command1_Click() override {
    events.push_back("Command1_Click");
    on_click();
  }
  void Timer2_Timer() override {
    ticks.push_back(Clock::now());
    on_tick();
  }

 private:
  ui::Window& window_;
};

}  // namespace catpub::testing
