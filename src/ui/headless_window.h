// Form1 without a display. The logic runs against it exactly as against the FLTK window; what needs
// a person in front of a screen is replaced: a message box's text goes to standard error, and where
// the window would be shown to wait for "Uscita" the run ends at once, since nobody can press it.
#pragma once

#include <iostream>
#include <ostream>
#include <string>

#include "ui/window.h"

namespace catpub::ui {

class HeadlessWindow final : public WindowHost {
 public:
  // `current_drive` is what CurrentDrive() returns (for example "c:"). Message texts are written to
  // `messages`, which must outlive the window.
  explicit HeadlessWindow(std::string current_drive, std::ostream& messages = std::cerr);
  HeadlessWindow(const HeadlessWindow&) = delete;
  HeadlessWindow& operator=(const HeadlessWindow&) = delete;

  void SetTillNumber(const std::string& text) override;
  std::string CurrentDrive() override;
  void DisableTimer2() override;
  // Nothing is pending without a display: does nothing.
  void ProcessPendingEvents() override;
  // Writes the text as one line; returns at once, as if OK had been pressed.
  void ShowMessage(const std::string& text) override;
  void Unload() override;
  bool Loaded() const override;

  // Raises Form_Load. Timer2 never ticks: nothing waits, so no tick could be delivered. When
  // Form_Load leaves the window loaded, the window would now be shown and wait for "Uscita";
  // instead the run ends here: Unload() raises Form_Unload, which closes all files, and Run returns
  // true. When Form_Load unloaded the window itself, Run returns false. Called once.
  bool Run(FormEvents& events) override;
  // False: a message goes to standard error.
  bool ShowsMessageBoxes() const override;

  // The text of nrposw.
  const std::string& TillNumber() const { return till_number_; }

 private:
  std::string current_drive_;
  std::ostream& messages_;
  FormEvents* events_ = nullptr;
  std::string till_number_;
  bool loaded_ = false;
};

}  // namespace catpub::ui
