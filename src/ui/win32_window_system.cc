// <FL/x.H> includes <windows.h> here; everything this file asks of Windows goes through
// platform/desktop.h.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include "platform/desktop.h"
#include "ui/window_system.h"

namespace catpub::ui {

// FLTK on Windows opens nothing before its first window: it only needs a desktop that someone
// sees. A process without one (a service, a task in session 0) would wait for a press that nobody
// can give.
bool ConnectDisplay() { return platform::DesktopVisible(); }

// FLTK gives a window of fixed size a dialog border but keeps the minimise box and the task bar
// button; Windows takes them away only from a window that exists, so after show().
void ShowAsDialog(Fl_Window& window) {
  window.show();
  platform::MakeDialogFrame(fl_xid(&window));
}

}  // namespace catpub::ui
