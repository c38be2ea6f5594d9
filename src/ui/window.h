// The window as the logic sees it: Form1's four event handlers, the few operations the logic
// performs on the window, and the host that runs a window's life. The FLTK window and the headless
// window implement the same operations, so the handlers run unchanged with or without a display.
#pragma once

#include <string>

namespace catpub::ui {

// Form1's event handlers, raised by the window on its one thread. They may nest (a Timer2 tick
// while a message box is open, or inside ProcessPendingEvents) but never overlap.
class FormEvents {
 public:
  virtual ~FormEvents() = default;
  virtual void Form_Load() = 0;
  virtual void Form_Unload() = 0;
  virtual void Command1_Click() = 0;
  virtual void Timer2_Timer() = 0;
};

// The operations the logic performs on Form1.
class Window {
 public:
  virtual ~Window() = default;
  // Replaces the text of nrposw.
  virtual void SetTillNumber(const std::string& text) = 0;
  // The current drive of Drive1 as text; its first character is the drive letter.
  virtual std::string CurrentDrive() = 0;
  // Timer2 delivers no further ticks; nothing switches it on again.
  virtual void DisableTimer2() = 0;
  // Handles the window events that are pending, once, without waiting.
  virtual void ProcessPendingEvents() = 0;
  // A modal message box with an OK button; returns when it has been closed.
  virtual void ShowMessage(const std::string& text) = 0;
  // Raises Form_Unload and destroys the window. Later calls do nothing.
  virtual void Unload() = 0;
  // False once the window has been unloaded.
  virtual bool Loaded() const = 0;
};

// Runs one window's life: creates Form1 hidden with Timer2 ticking every 5 s, raises Form_Load,
// shows the window only when it is still loaded afterwards, and returns once it has been unloaded.
class WindowHost : public Window {
 public:
  // Returns true when the window was shown (Form_Load returned with the window still loaded).
  virtual bool Run(FormEvents& events) = 0;
  // True when ShowMessage puts a box on a screen for someone to read and close; false when it only
  // writes the text where the run's own reports go (standard error).
  virtual bool ShowsMessageBoxes() const = 0;
};

}  // namespace catpub::ui
