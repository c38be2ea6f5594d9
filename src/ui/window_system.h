// What differs between the window systems FLTK draws on: how the window finds a screen someone can
// see, and how Form1 gets the frame of a fixed dialog. One file per system implements it
// (x11_window_system.cc, win32_window_system.cc), chosen by CMakeLists.txt; FLTK's system header
// <FL/x.H> stays in those files.
#pragma once

class Fl_Window;

namespace catpub::ui {

// Connects FLTK to a screen that someone can see; see FltkWindow::ConnectDisplay.
bool ConnectDisplay();

// Shows `window` (top-level, of fixed size) with the frame of a fixed dialog: no sizing, no
// minimise or maximise button, not on the task bar.
void ShowAsDialog(Fl_Window& window);

}  // namespace catpub::ui
