// Chooses Form1's host for this run: the FLTK window when there is a display to show it on, the
// headless window otherwise.
#pragma once

#include <memory>
#include <string>

#include "ui/window.h"

namespace catpub::ui {

// Returns an FltkWindow when DISPLAY names an X display that opens, otherwise a HeadlessWindow
// (DISPLAY unset or empty, display unreachable). A Wayland session without DISPLAY counts as
// headless: FLTK 1.3 draws on X only. `current_drive` is what the window's CurrentDrive() returns.
std::unique_ptr<WindowHost> MakeWindowHost(std::string current_drive);

}  // namespace catpub::ui
