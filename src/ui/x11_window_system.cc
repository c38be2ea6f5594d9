#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xatom.h>

#include <cstdlib>

#include "ui/window_system.h"

namespace catpub::ui {
namespace {

// FLTK already marks a window of fixed size as neither resizable nor maximisable. The dialog frame
// also lacks the minimise button, and the window stays off the task bar.
class DialogFrame {
 public:
  // Asks the display for the names it needs: do this before the window is shown.
  DialogFrame()
      : motif_hints_(XInternAtom(fl_display, "_MOTIF_WM_HINTS", False)),
        state_(XInternAtom(fl_display, "_NET_WM_STATE", False)),
        skip_taskbar_(XInternAtom(fl_display, "_NET_WM_STATE_SKIP_TASKBAR", False)) {}

  // Right after show(): these requests follow the map request without a round trip in between, so
  // a window manager taking the window over already finds the properties; one that has taken it
  // over reads the state request.
  void ApplyTo(Fl_Window& window) {
    const ::Window xid = fl_xid(&window);
    enum : long { kFunctionsHint = 1, kAll = 1, kResize = 2, kMinimize = 8, kMaximize = 16 };
    // With kAll set, the functions listed are the ones taken away.
    long functions[5] = {kFunctionsHint, kAll | kResize | kMinimize | kMaximize, 0, 0, 0};
    XChangeProperty(fl_display, xid, motif_hints_, motif_hints_, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(functions), 5);
    XChangeProperty(fl_display, xid, state_, XA_ATOM, 32, PropModeAppend,
                    reinterpret_cast<unsigned char*>(&skip_taskbar_), 1);
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = xid;
    request.xclient.message_type = state_;
    request.xclient.format = 32;
    request.xclient.data.l[0] = 1;  // add
    request.xclient.data.l[1] = static_cast<long>(skip_taskbar_);
    request.xclient.data.l[3] = 1;  // asked by an application
    XSendEvent(fl_display, RootWindow(fl_display, fl_screen), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &request);
  }

 private:
  Atom motif_hints_;
  Atom state_;
  Atom skip_taskbar_;
};

// What FLTK does with an X protocol error when it opens the display itself: warn and go on.
int WarnOfXError(Display* display, XErrorEvent* error) {
  char text[128];
  XGetErrorText(display, error->error_code, text, sizeof text);
  Fl::warning("errore del server grafico X: %s", text);
  return 0;
}

}  // namespace

bool ConnectDisplay() {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') return false;
  if (fl_display != nullptr) return true;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  XSetErrorHandler(WarnOfXError);
  fl_open_display(display);
  return true;
}

void ShowAsDialog(Fl_Window& window) {
  DialogFrame frame;
  window.show();
  frame.ApplyTo(window);
}

}  // namespace catpub::ui
