#include "ui/fltk_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Image.H>
#include <FL/Fl_Pixmap.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <utility>

#include "platform/interruption.h"
#include "ui/window_pictures.h"
#include "ui/window_system.h"

namespace catpub::ui {
namespace {

constexpr char kTitle[] = "B";
constexpr char kMessageTitle[] = "catalog-publisher";

// The window definition measures in twips: 15 twips make a pixel, 20 twips make a point.
constexpr int Px(int twips) { return twips / 15; }
constexpr int FontPx(double points) { return static_cast<int>(points * 20 / 15 + 0.5); }

struct Rect {
  int left, top, width, height;
};

constexpr int kClientWidth = 8895;
constexpr int kClientHeight = 7965;
constexpr Rect kFrame1{120, 0, 5295, 6495};
constexpr Rect kCommand1{120, 6720, 8655, 1095};
// The controls below sit inside Frame1; their positions are relative to it.
constexpr Rect kNrposw{240, 840, 975, 405};
constexpr int kRows = 10;
constexpr Rect LabelRect(int n) { return {1800, 600 * n, 255, 255}; }
constexpr Rect CircleRect(int n) {
  return {n <= 7 ? 1680 : 1560, 600 * n - 120, n <= 6 ? 495 : n == 7 ? 525 : 735, 405};
}
constexpr Rect NumRect(int n) { return {2280, 600 * n - 120, 630, 195}; }
// The second counters do not keep the 600-twip rhythm of the rows: from row 6 on they sit lower.
constexpr int kPunTops[kRows] = {720, 1320, 1920, 2520, 3120, 3840, 4440, 5040, 5640, 6240};
constexpr Rect PunRect(int n) { return {2280, kPunTops[n - 1], 630, 195}; }

constexpr Fl_Color kCircleColor = 0xE0E0E000;  // FLTK's RGB form 0xRRGGBB00

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Creates a widget at a rectangle given in twips relative to Frame1 (or to the window).
template <class Widget, class... Args>
Widget* Place(const Rect& r, const Rect& container, Args... args) {
  return new Widget(Px(container.left + r.left), Px(container.top + r.top), Px(r.width),
                    Px(r.height), args...);
}

// A Windows frame: an etched border whose top line runs through the caption.
class CaptionFrame : public Fl_Group {
 public:
  CaptionFrame(int x, int y, int w, int h, const char* caption) : Fl_Group(x, y, w, h, caption) {
    align(FL_ALIGN_INSIDE | FL_ALIGN_TOP_LEFT);  // drawn here, never outside by the parent
  }

 protected:
  void draw() override {
    if (damage() & ~FL_DAMAGE_CHILD) {
      fl_font(labelfont(), labelsize());
      const int caption_height = fl_height();
      const int caption_width = static_cast<int>(fl_width(label()));
      fl_color(color());
      fl_rectf(x(), y(), w(), h());
      fl_draw_box(FL_ENGRAVED_FRAME, x(), y() + caption_height / 2, w(), h() - caption_height / 2,
                  color());
      fl_color(color());
      fl_rectf(x() + 6, y(), caption_width + 4, caption_height);
      fl_color(labelcolor());
      fl_draw(label(), x() + 8, y() + caption_height - fl_descent());
    }
    draw_children();
  }
};

// A circle shape: a disc as wide as the smaller side of its box, centred in it.
class CircleShape : public Fl_Widget {
 public:
  CircleShape(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) { color(kCircleColor); }

 protected:
  void draw() override {
    const int d = std::min(w(), h());
    fl_color(color());
    fl_pie(x() + (w() - d) / 2, y() + (h() - d) / 2, d, d, 0, 360);
  }
};

// A caption without background, drawn from the top of its box as a Windows label draws it.
Fl_Box* Caption(Fl_Box* box, const char* text, Fl_Font font, Fl_Align align) {
  box->box(FL_NO_BOX);
  box->label(text);
  box->labelfont(font);
  box->labelsize(FontPx(8.25));
  box->align(align | FL_ALIGN_TOP | FL_ALIGN_INSIDE);
  return box;
}

// FLTK reads "@..." in a label as a symbol to draw and "@@" as one "@"; texts shown here are plain
// (a server reply, a path), so every "@" is doubled.
std::string PlainLabel(const std::string& text) {
  std::string label;
  for (char c : text) {
    label += c;
    if (c == '@') label += '@';
  }
  return label;
}

// FLTK leaves its message box where the window manager puts it (without one, in the screen's
// corner); a Windows message box stands in the middle of the screen. Runs in the box's first wait,
// once it has been shown and sized, before anything is drawn.
void CentreMessageBox(void*) {
  if (Fl_Window* box = Fl::modal()) {
    int screen_x = 0, screen_y = 0, screen_w = 0, screen_h = 0;
    Fl::screen_xywh(screen_x, screen_y, screen_w, screen_h, 0);
    box->position(screen_x + (screen_w - box->w()) / 2, screen_y + (screen_h - box->h()) / 2);
  }
}

// How often a wait looks whether a signal has asked the run to end.
constexpr double kInterruptionCheckSeconds = 0.25;

// A signal that asks the run to end closes the open message box as OK would: nobody may be there
// to press it.
void PressOkOnInterruption(void*) {
  Fl_Window* box = Fl::modal();
  if (platform::InterruptingSignal() != 0 && box != nullptr) {
    box->hide();
    return;
  }
  Fl::repeat_timeout(kInterruptionCheckSeconds, PressOkOnInterruption);
}

}  // namespace

// Form1's widgets. The window owns the widgets created inside it; the pictures outlive it.
struct FltkWindow::Form {
  Fl_Pixmap exit_picture{kExitPicture};
  Fl_Pixmap icon_picture{kApplicationIcon};
  Fl_RGB_Image icon{&icon_picture};
  std::unique_ptr<Fl_Double_Window> window;
  Fl_Button* command1 = nullptr;
  Fl_Box* nrposw = nullptr;
};

bool FltkWindow::ConnectDisplay() { return ui::ConnectDisplay(); }

FltkWindow::FltkWindow(std::string current_drive, std::chrono::milliseconds timer2_interval)
    : current_drive_(std::move(current_drive)), timer2_interval_(timer2_interval) {}

FltkWindow::~FltkWindow() {
  StopTimer2();
  form_.reset();
}

void FltkWindow::SetTillNumber(const std::string& text) {
  till_number_ = text;
  if (form_) form_->nrposw->copy_label(PlainLabel(text).c_str());
}

std::string FltkWindow::CurrentDrive() { return current_drive_; }

void FltkWindow::DisableTimer2() { StopTimer2(); }

void FltkWindow::ProcessPendingEvents() {
  Fl::check();
  RethrowPendingError();
}

void FltkWindow::ShowMessage(const std::string& text) {
  fl_message_hotspot(0);  // centred on the screen, not at the pointer
  fl_message_title(kMessageTitle);
  fl_close = fl_ok;  // the box's one button reads "OK", not FLTK's "Close"
  Fl::add_timeout(0.0, CentreMessageBox);
  Fl::add_timeout(kInterruptionCheckSeconds, PressOkOnInterruption);
  fl_message("%s", PlainLabel(text).c_str());
  Fl::remove_timeout(PressOkOnInterruption);
  Fl::remove_timeout(CentreMessageBox);
  RethrowPendingError();
}

void FltkWindow::Unload() {
  if (!loaded_) return;
  loaded_ = false;
  StopTimer2();
  if (form_) form_->window->hide();
  events_->Form_Unload();
}

bool FltkWindow::Loaded() const { return loaded_; }

bool FltkWindow::ShowsMessageBoxes() const { return true; }

bool FltkWindow::Run(FormEvents& events) {
  events_ = &events;
  BuildForm();
  loaded_ = true;
  StartTimer2();
  bool shown = false;
  try {
    events.Form_Load();
    if (loaded_) {
      shown = true;
      ShowForm();
      // Bounded waits: a flag set by a timeout (or a signal) is seen only when the wait after it
      // returns.
      while (loaded_ && !pending_error_ && platform::InterruptingSignal() == 0) {
        Fl::wait(kInterruptionCheckSeconds);
      }
      RethrowPendingError();
      // A signal ends the wait as "Uscita" would.
      if (loaded_) Raise(&FormEvents::Command1_Click);
      RethrowPendingError();
    }
  } catch (...) {
    // Nothing more may reach the handlers; the caller decides what follows.
    StopTimer2();
    form_->window->hide();
    Fl::flush();
    throw;
  }
  form_.reset();
  Fl::flush();
  return shown;
}

std::string FltkWindow::TillNumber() const {
  if (!form_) return till_number_;
  const char* label = form_->nrposw->label();
  return label != nullptr ? label : "";
}

void FltkWindow::BuildForm() {
  form_ = std::make_unique<Form>();
  int screen_x = 0, screen_y = 0, screen_w = 0, screen_h = 0;
  Fl::screen_xywh(screen_x, screen_y, screen_w, screen_h, 0);
  const int width = Px(kClientWidth);
  const int height = Px(kClientHeight);
  form_->window = std::make_unique<Fl_Double_Window>(
      screen_x + (screen_w - width) / 2, screen_y + (screen_h - height) / 2, width, height, kTitle);
  Fl_Double_Window& window = *form_->window;
  const Rect client{0, 0, kClientWidth, kClientHeight};

  // First child, so first in the tab order: it has the focus when the window is shown.
  Fl_Button* command1 = Place<Fl_Button>(kCommand1, client, "Uscita");
  command1->image(form_->exit_picture);
  command1->labelsize(FontPx(8.25));
  command1->callback(
      [](Fl_Widget*, void* self) {
        static_cast<FltkWindow*>(self)->Raise(&FormEvents::Command1_Click);
      },
      this);
  form_->command1 = command1;

  CaptionFrame* frame1 = Place<CaptionFrame>(kFrame1, client, "Numero Pos");
  frame1->labelcolor(FL_RED);
  frame1->labelfont(FL_HELVETICA_BOLD);
  frame1->labelsize(FontPx(9.75));

  Fl_Box* nrposw = Place<Fl_Box>(kNrposw, kFrame1);
  nrposw->box(FL_DOWN_BOX);
  nrposw->color(FL_WHITE);
  nrposw->labelfont(FL_HELVETICA);
  nrposw->labelsize(FontPx(12));
  nrposw->align(FL_ALIGN_CENTER | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
  nrposw->copy_label(PlainLabel(till_number_).c_str());
  form_->nrposw = nrposw;

  // The panel of numbered rows: nothing ever changes it.
  static const char* const kRowNumbers[kRows] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
  for (int n = 1; n <= kRows; ++n) Place<CircleShape>(CircleRect(n), kFrame1);
  for (int n = 1; n <= kRows; ++n) {
    Caption(Place<Fl_Box>(LabelRect(n), kFrame1), kRowNumbers[n - 1], FL_HELVETICA_BOLD,
            FL_ALIGN_CENTER);
    Caption(Place<Fl_Box>(NumRect(n), kFrame1), "0000000", FL_HELVETICA, FL_ALIGN_LEFT);
    Caption(Place<Fl_Box>(PunRect(n), kFrame1), "0000000", FL_HELVETICA, FL_ALIGN_LEFT);
  }
  frame1->end();

  window.end();
  window.size_range(width, height, width, height);  // and no resizable widget: a fixed frame
  window.icon(&form_->icon);
  window.xclass("catalog-publisher");
  // The close box (and Esc) act as "Uscita".
  window.callback(
      [](Fl_Widget*, void* self) {
        static_cast<FltkWindow*>(self)->Raise(&FormEvents::Command1_Click);
      },
      this);
}

void FltkWindow::ShowForm() {
  ShowAsDialog(*form_->window);
  form_->command1->take_focus();
}

void FltkWindow::Timer2Callback(void* self) {
  auto* window = static_cast<FltkWindow*>(self);
  if (window->timer2_first_due_) {
    // FLTK 1.3 starts a new timeout early by however late the last timeout of the process ran;
    // the first tick still comes one interval after the window's creation.
    const auto early = *window->timer2_first_due_ - std::chrono::steady_clock::now();
    if (early > std::chrono::milliseconds(1)) {
      Fl::repeat_timeout(Seconds(early), &Timer2Callback, self);
      return;
    }
    window->timer2_first_due_.reset();
  }
  // Re-armed first, so that the ticks keep their rhythm however long the handler takes.
  Fl::repeat_timeout(Seconds(window->timer2_interval_), &Timer2Callback, self);
  window->Raise(&FormEvents::Timer2_Timer);
}

void FltkWindow::StartTimer2() {
  timer2_first_due_ = std::chrono::steady_clock::now() + timer2_interval_;
  Fl::add_timeout(Seconds(timer2_interval_), &Timer2Callback, this);
  timer2_running_ = true;
}

void FltkWindow::StopTimer2() {
  if (!timer2_running_) return;
  Fl::remove_timeout(&Timer2Callback, this);
  timer2_running_ = false;
}

void FltkWindow::Raise(void (FormEvents::*handler)()) {
  if (pending_error_ || events_ == nullptr) return;
  try {
    (events_->*handler)();
  } catch (...) {
    // Kept, not swallowed: thrown again as soon as FLTK returns to this class.
    pending_error_ = std::current_exception();
    StopTimer2();
    if (form_) form_->window->hide();
    if (Fl_Window* box = Fl::modal()) box->hide();
  }
}

void FltkWindow::RethrowPendingError() {
  if (pending_error_) std::rethrow_exception(std::exchange(pending_error_, nullptr));
}

}  // namespace catpub::ui
