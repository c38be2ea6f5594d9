// Shows Form1 as a run that stopped on a configuration error leaves it: the till number in nrposw,
// waiting for "Uscita". For looking at the window and for screenshots (tools/screenshot-window.sh).
// Usage: show_window [till-number]
#include <iostream>
#include <string>
#include <utility>

#include "ui/fltk_window.h"

namespace {

class ShownForm : public catpub::ui::FormEvents {
 public:
  ShownForm(catpub::ui::Window& window, std::string till_number)
      : window_(window), till_number_(std::move(till_number)) {}
  void Form_Load() override { window_.SetTillNumber(till_number_); }
  void Form_Unload() override {}
  void Command1_Click() override { window_.Unload(); }
  void Timer2_Timer() override {}

 private:
  catpub::ui::Window& window_;
  std::string till_number_;
};

}  // namespace

int main(int argc, char** argv) {
  if (!catpub::ui::FltkWindow::ConnectDisplay()) {
    std::cerr << "show_window: no display (DISPLAY unset or unreachable)\n";
    return 1;
  }
  catpub::ui::FltkWindow window("c:");
  ShownForm form(window, argc > 1 ? argv[1] : "3");
  window.Run(form);
  return 0;
}
