#include "ui/make_window_host.h"

#include <utility>

#include "ui/fltk_window.h"
#include "ui/headless_window.h"

namespace catpub::ui {

std::unique_ptr<WindowHost> MakeWindowHost(std::string current_drive) {
  if (FltkWindow::ConnectDisplay()) return std::make_unique<FltkWindow>(std::move(current_drive));
  return std::make_unique<HeadlessWindow>(std::move(current_drive));
}

}  // namespace catpub::ui
