// Form1 as a real FLTK window (on an X display, or on the Windows desktop), laid out as the shop's
// window always was (twips / 15 = pixels): the "Numero Pos" frame with the till number and the
// panel of ten numbered rows, and the "Uscita" button. Message boxes are modal FLTK boxes; Timer2
// is an FLTK timeout. FLTK itself is confined to fltk_window.cc and the window system's file
// (window_system.h).
#pragma once

#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "ui/window.h"

namespace catpub::ui {

class FltkWindow final : public WindowHost {
 public:
  static constexpr std::chrono::milliseconds kTimer2Interval{5000};

  // Connects FLTK to a screen that someone can see. On X: the display named by DISPLAY (FLTK 1.3
  // draws on X only; a Wayland session offers X through Xwayland and sets DISPLAY); false when
  // DISPLAY is unset or empty or the display cannot be opened, and FLTK has then touched no
  // display, which matters because FLTK ends the process when it fails to open one itself. On
  // Windows: false without a visible desktop (platform::DesktopVisible: a service, session 0, or
  // Wine without a display). Returns true when FLTK has a display to work on, also when it was
  // connected before. Call it before running an FltkWindow.
  static bool ConnectDisplay();

  // `current_drive` is what CurrentDrive() returns (for example "c:"). Timer2 ticks every
  // `timer2_interval`; only tests shorten it. Nothing of FLTK is touched before Run.
  explicit FltkWindow(std::string current_drive,
                      std::chrono::milliseconds timer2_interval = kTimer2Interval);
  ~FltkWindow() override;
  FltkWindow(const FltkWindow&) = delete;
  FltkWindow& operator=(const FltkWindow&) = delete;

  void SetTillNumber(const std::string& text) override;
  std::string CurrentDrive() override;
  void DisableTimer2() override;
  // One pass of the event loop (Fl::check): Timer2 ticks and clicks that are due are handled.
  void ProcessPendingEvents() override;
  // A modal box with the text, an OK button and the title "catalog-publisher", centred on the
  // screen. Timer2 keeps ticking while it is open, so its handler may run nested in here. A message
  // asked for while another box is open is not shown (FLTK shows one box at a time).
  void ShowMessage(const std::string& text) override;
  // Stops Timer2, hides the window and raises Form_Unload, once; later calls do nothing.
  void Unload() override;
  bool Loaded() const override;

  // Creates Form1 hidden, starts Timer2 and raises Form_Load. When Form_Load has unloaded the
  // window, returns false at once: the window was never shown. Otherwise shows it centred on the
  // screen, with "Uscita" focused, and handles events until the window is unloaded ("Uscita", the
  // close box or Esc raise Command1_Click, whose handler unloads it); then returns true. Called
  // once.
  //
  // A handler that throws ends the window's life: Timer2 stops, the window is hidden (an open
  // message box is closed) and the exception leaves Run, ShowMessage or ProcessPendingEvents,
  // whichever FLTK was working in. Form_Unload has not been raised then; Unload() still can.
  bool Run(FormEvents& events) override;
  // True: a message is a modal box on the display.
  bool ShowsMessageBoxes() const override;

  // The label nrposw shows while the window exists (FLTK's form: an "@" doubled), else the text
  // last set.
  std::string TillNumber() const;

 private:
  struct Form;

  static void Timer2Callback(void* self);
  void BuildForm();
  void ShowForm();
  void StartTimer2();
  void StopTimer2();
  // Raises one of Form1's events from an FLTK callback. An exception does not cross FLTK: it is
  // kept, Timer2 stops and an open message box closes, and it is thrown again once FLTK returns.
  void Raise(void (FormEvents::*handler)());
  void RethrowPendingError();

  std::string current_drive_;
  std::chrono::milliseconds timer2_interval_;
  std::string till_number_;
  std::unique_ptr<Form> form_;
  FormEvents* events_ = nullptr;
  bool loaded_ = false;
  bool timer2_running_ = false;
  // When the first tick is due; none before it (see Timer2Callback).
  std::optional<std::chrono::steady_clock::time_point> timer2_first_due_;
  std::exception_ptr pending_error_;
};

}  // namespace catpub::ui
