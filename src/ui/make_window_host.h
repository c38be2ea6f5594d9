// Chooses Form1's host for this run: the FLTK window when there is a display to show it on, the
// headless window otherwise.
#pragma once

#include <memory>
#include <string>

#include "ui/window.h"

namespace catpub::ui {

// Returns an FltkWindow when FltkWindow::ConnectDisplay finds a screen, otherwise a HeadlessWindow.
// On X: DISPLAY names a display that opens (unset, empty or unreachable: headless; a Wayland
// session without DISPLAY counts as headless, FLTK 1.3 draws on X only). On Windows: a visible
// desktop (a service or a task in session 0 is headless). `current_drive` is what the window's
// CurrentDrive() returns.
std::unique_ptr<WindowHost> MakeWindowHost(std::string current_drive);

}  // namespace catpub::ui
