#include <windows.h>

#include "platform/desktop.h"

namespace catpub::platform {
namespace {

bool StationVisible() {
  USEROBJECTFLAGS flags{};
  return GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                   nullptr) &&
         (flags.dwFlags & WSF_VISIBLE) != 0;
}

bool OutsideSessionZero() {
  DWORD session = 0;
  return ProcessIdToSessionId(GetCurrentProcessId(), &session) && session != 0;
}

// A hidden top-level window of a class the system always has: made only when the window system
// really draws somewhere (Wine without a display refuses it, while GetDC still answers).
HWND MakeHiddenWindow() {
  return CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

bool WindowSystemAnswers() {
  HWND probe = MakeHiddenWindow();
  if (probe == nullptr) return false;
  DestroyWindow(probe);
  return true;
}

// A window owned by another has no button on the task bar: the owner is never shown.
HWND HiddenOwner() {
  static const HWND owner = MakeHiddenWindow();
  return owner;
}

}  // namespace

bool DesktopVisible() { return StationVisible() && OutsideSessionZero() && WindowSystemAnswers(); }

void MakeDialogFrame(void* window) {
  const HWND hwnd = static_cast<HWND>(window);
  const bool shown = IsWindowVisible(hwnd);
  if (shown) ShowWindow(hwnd, SW_HIDE);
  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  SetWindowLongPtrW(hwnd, GWL_STYLE, style & ~(WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  const LONG_PTR ex_style = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
  SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ex_style & ~WS_EX_APPWINDOW);
  if (HWND owner = HiddenOwner(); owner != nullptr) {
    SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  }
  // The frame is drawn from the styles only when told that they changed.
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  if (shown) ShowWindow(hwnd, SW_SHOW);
}

}  // namespace catpub::platform
