// The Windows desktop as Form1 needs it: whether someone can see the window at all, and the frame
// of a fixed dialog kept off the task bar. On X the window talks to the display itself
// (ui/x11_window_system.cc); Windows keeps these answers in the system's own calls, hence here.
// Implemented for Windows only (win32_desktop.cc).
#pragma once

namespace catpub::platform {

// True when a window this process shows can be seen and pressed by someone: the process's window
// station is the visible one, the process does not run in session 0 (a service, or a scheduled
// task run whether the user is logged on or not), and the window system creates a window (under
// Wine with no X display the station says it is visible, yet no window can be made). Cheap enough
// for once per run; it shows nothing.
bool DesktopVisible();

// Gives `window`, a top-level window already shown (an HWND), the frame of a fixed dialog: no
// sizing border, no minimise or maximise box, and no button on the task bar (it is owned by a
// hidden window of this process, made once and kept until the process ends). The window is hidden
// and shown again for the task bar to take the change.
void MakeDialogFrame(void* window);

}  // namespace catpub::platform
