// The window as a Windows test drives it from outside (window_under_wine_test.sh): a test process
// under Wine cannot reach the X display that Wine draws on, so this program only runs the window
// and says what happened, one event a line on standard output, and the script plays the user.
//
//   window_test_program host     prints "fltk" or "headless": what MakeWindowHost chose
//   window_test_program window   Form1 with till number 17, until "Uscita"
//   window_test_program message  the start-up's message box for a missing database, until OK
#include <cstdio>
#include <memory>
#include <string>

#include "fakes/recording_form.h"
#include "ui/fltk_window.h"
#include "ui/headless_window.h"
#include "ui/make_window_host.h"

namespace {

using catpub::testing::RecordingForm;
using catpub::ui::FltkWindow;

void PrintEvents(const RecordingForm& form) {
  for (const std::string& event : form.events) std::printf("%s\n", event.c_str());
}

int Host() {
  std::unique_ptr<catpub::ui::WindowHost> host = catpub::ui::MakeWindowHost("c:");
  const bool headless = dynamic_cast<catpub::ui::HeadlessWindow*>(host.get()) != nullptr;
  std::printf("%s\n", headless ? "headless" : "fltk");
  return 0;
}

int Window() {
  if (!FltkWindow::ConnectDisplay()) return 2;
  FltkWindow window("c:");
  RecordingForm form(window);
  form.on_load = [&] { window.SetTillNumber("17"); };
  form.on_click = [&] {
    std::printf("till number %s\n", window.TillNumber().c_str());
    window.Unload();
  };
  std::printf("shown %d\n", window.Run(form) ? 1 : 0);
  PrintEvents(form);
  return 0;
}

int Message() {
  if (!FltkWindow::ConnectDisplay()) return 2;
  FltkWindow window("c:");
  RecordingForm form(window);
  form.on_load = [&] {
    window.ShowMessage("ERRORE : FILE c:\\nodo\\orbis.mdb NON ESISTE ");
    window.Unload();
  };
  std::printf("shown %d\n", window.Run(form) ? 1 : 0);
  PrintEvents(form);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // read by the script while the window is open
  const std::string what = argc == 2 ? argv[1] : "";
  if (what == "host") return Host();
  if (what == "window") return Window();
  if (what == "message") return Message();
  std::fprintf(stderr, "uso: window_test_program host|window|message\n");
  return 64;
}
