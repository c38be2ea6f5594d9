// Form1 on a real X display: each test process starts its own Xvfb; a second thread plays the user
// with xdotool while the window's loop runs on the main thread.
#include "ui/fltk_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "fakes/command_output.h"
#include "fakes/recording_form.h"
#include "fakes/xvfb_display.h"
#include "ui/make_window_host.h"

// Last: Xlib's macros must not reach the headers above.
#include <X11/Xlib.h>

namespace catpub::ui {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::Output;
using testing::RecordingForm;
using Clock = RecordingForm::Clock;

// The id of the visible window titled exactly `title`, waiting for it up to 10 s; empty if none.
std::string WaitForVisibleWindow(const std::string& title) {
  const std::string ids =
      Output("timeout 10 xdotool search --sync --onlyvisible --name '^" + title + "$'");
  return ids.substr(0, ids.find('\n'));
}

bool AnyWindowTitled(const std::string& title) {
  return !Output("xdotool search --name '^" + title + "$'").empty();
}

// A real click (XTEST) at a point of the window, in client coordinates.
void Click(const std::string& id, int x, int y) {
  Output("xdotool mousemove --window " + id + " " + std::to_string(x) + " " + std::to_string(y) +
         " click 1");
}

// What a window manager sends when the user presses the title bar's close box.
void PressCloseBox(const std::string& id) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = std::stoul(id);
  message.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  message.xclient.format = 32;
  message.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  message.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, message.xclient.window, False, NoEventMask, &message);
  XCloseDisplay(display);
}

// After a user action that should close the window: fails, and closes it through the close box,
// when it is still shown 5 s later, so that a broken test does not hang.
void ExpectClosedSoon(const std::string& id) {
  for (int i = 0; i < 50; ++i) {
    if (Output("xdotool search --onlyvisible --name '^B$'").empty()) return;
    std::this_thread::sleep_for(100ms);
  }
  ADD_FAILURE() << "the window is still shown";
  PressCloseBox(id);
}

double SecondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// The centre of "Uscita" in client pixels: left 120, top 6720, 8655 x 1095 twips.
constexpr int kUscitaX = 8 + 577 / 2;
constexpr int kUscitaY = 448 + 73 / 2;

class FltkWindowTest : public ::testing::Test {
 protected:
  // One Xvfb for the whole process, stopped when the process ends: FLTK keeps its connection to
  // the display until then and cannot be moved to another one.
  static void SetUpTestSuite() {
    static const std::unique_ptr<testing::XvfbDisplay> display = [] {
      if (!testing::XvfbDisplay::Installed()) return std::unique_ptr<testing::XvfbDisplay>();
      auto started = std::make_unique<testing::XvfbDisplay>();
      setenv("DISPLAY", started->name().c_str(), 1);
      connected_ = FltkWindow::ConnectDisplay();
      return started;
    }();
    have_display_ = display != nullptr;
  }
  void SetUp() override {
    if (!have_display_) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(connected_);
    // Without them the user's side cannot act and the window would wait forever.
    ASSERT_TRUE(testing::OnPath("xdotool")) << "install xdotool";
    ASSERT_TRUE(testing::OnPath("xprop")) << "install x11-utils";
  }

  static bool have_display_;
  static bool connected_;
};

bool FltkWindowTest::have_display_ = false;
bool FltkWindowTest::connected_ = false;

TEST_F(FltkWindowTest, FactoryChoosesTheFltkWindowWhenTheDisplayOpens) {
  std::unique_ptr<WindowHost> host = MakeWindowHost("c:");
  ASSERT_NE(dynamic_cast<FltkWindow*>(host.get()), nullptr);
  EXPECT_EQ(host->CurrentDrive(), "c:");
  EXPECT_TRUE(host->ShowsMessageBoxes());
}

// A publication unloads Form1 inside Form_Load: no X window is ever made for it.
TEST_F(FltkWindowTest, FormLoadThatUnloadsNeverShowsTheWindow) {
  FltkWindow window("c:");
  RecordingForm form(window);
  bool window_existed = true;
  form.on_load = [&] {
    window.SetTillNumber("3");
    window_existed = AnyWindowTitled("B");
    window.Unload();
    window.DisableTimer2();  // the gate's last switch-off, on a window already gone
  };

  EXPECT_FALSE(window.Run(form));
  EXPECT_THAT(form.events, ElementsAre("Form_Load", "Form_Unload"));
  EXPECT_FALSE(window_existed);
  EXPECT_FALSE(AnyWindowTitled("B"));
  EXPECT_FALSE(window.Loaded());
}

TEST_F(FltkWindowTest, ShownCentredAsAFixedDialogUntilUscitaIsClicked) {
  FltkWindow window("c:");
  RecordingForm form(window);
  form.on_load = [&] { window.SetTillNumber("17"); };
  std::string till_number_at_click;
  form.on_click = [&] {
    till_number_at_click = window.TillNumber();
    window.Unload();
  };
  std::string geometry, title, properties, icon;
  bool shown = false;
  {
    std::jthread user([&] {
      const std::string id = WaitForVisibleWindow("B");
      if (id.empty()) return ADD_FAILURE() << "the window was not shown";
      geometry = Output("xdotool getwindowgeometry --shell " + id);
      title = Output("xdotool getwindowname " + id);
      properties =
          Output("xprop -id " + id + " WM_NORMAL_HINTS _MOTIF_WM_HINTS _NET_WM_STATE WM_CLASS");
      icon = Output("xprop -id " + id + " -len 8 _NET_WM_ICON");
      Click(id, kUscitaX, kUscitaY);
      ExpectClosedSoon(id);
    });
    shown = window.Run(form);
  }

  EXPECT_TRUE(shown);
  EXPECT_THAT(form.events, ElementsAre("Form_Load", "Command1_Click", "Form_Unload"));
  EXPECT_EQ(till_number_at_click, "17");
  EXPECT_EQ(title, "B");
  // 8895 x 7965 twips, centred on the 1024 x 768 screen.
  EXPECT_THAT(geometry, HasSubstr("X=215\nY=118\nWIDTH=593\nHEIGHT=531\n"));
  EXPECT_THAT(properties, HasSubstr("program specified minimum size: 593 by 531"));
  EXPECT_THAT(properties, HasSubstr("program specified maximum size: 593 by 531"));
  EXPECT_THAT(properties, HasSubstr("_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x1, 0x1b, 0x0"));
  EXPECT_THAT(properties, HasSubstr("_NET_WM_STATE_SKIP_TASKBAR"));
  EXPECT_THAT(properties, HasSubstr("\"catalog-publisher\""));
  EXPECT_THAT(icon, HasSubstr("Icon (32 x 32)"));
  EXPECT_FALSE(AnyWindowTitled("B"));
}

// "Uscita" has the focus: the space bar presses it.
TEST_F(FltkWindowTest, UscitaHasTheKeyboardFocus) {
  FltkWindow window("c:");
  RecordingForm form(window);
  {
    std::jthread user([&] {
      const std::string id = WaitForVisibleWindow("B");
      if (id.empty()) return ADD_FAILURE() << "the window was not shown";
      Output("xdotool mousemove --window " + id + " 450 200 key space");
      ExpectClosedSoon(id);
    });
    EXPECT_TRUE(window.Run(form));
  }
  EXPECT_THAT(form.events, ElementsAre("Form_Load", "Command1_Click", "Form_Unload"));
}

TEST_F(FltkWindowTest, CloseBoxActsAsUscita) {
  FltkWindow window("c:");
  RecordingForm form(window);
  {
    std::jthread user([&] {
      const std::string id = WaitForVisibleWindow("B");
      if (id.empty()) return ADD_FAILURE() << "the window was not shown";
      PressCloseBox(id);
    });
    EXPECT_TRUE(window.Run(form));
  }
  EXPECT_THAT(form.events, ElementsAre("Form_Load", "Command1_Click", "Form_Unload"));
}

// Timer2 counts from the window's creation, not from its showing: time spent in Form_Load counts.
// Also when an earlier timeout of the process ran late, which shortens FLTK's next new timeout.
TEST_F(FltkWindowTest, Timer2TicksFromCreationAtItsInterval) {
  {
    FltkWindow late("c:", 300ms);
    RecordingForm form(late);
    form.on_load = [&] {
      std::this_thread::sleep_for(450ms);
      late.ProcessPendingEvents();  // the tick runs 150 ms late
      late.Unload();
    };
    late.Run(form);
    ASSERT_FALSE(form.ticks.empty());
  }

  FltkWindow window("c:", 400ms);
  RecordingForm form(window);
  form.on_load = [] { std::this_thread::sleep_for(350ms); };
  form.on_tick = [&] {
    if (form.ticks.size() == 4) window.Unload();
  };
  const Clock::time_point created = Clock::now();
  EXPECT_TRUE(window.Run(form));

  ASSERT_EQ(form.ticks.size(), 4u);
  EXPECT_THAT(form.events, ElementsAre("Form_Load", "Form_Unload"));
  // Counted from the showing, the first tick would come at 0.75 s.
  EXPECT_GE(SecondsBetween(created, form.ticks[0]), 0.39);
  EXPECT_LT(SecondsBetween(created, form.ticks[0]), 0.65);
  EXPECT_GE(SecondsBetween(created, form.ticks[3]), 1.59);
  EXPECT_LT(SecondsBetween(created, form.ticks[3]), 2.1);
}

TEST_F(FltkWindowTest, Timer2TicksEveryFiveSecondsByDefault) {
  FltkWindow window("c:");
  RecordingForm form(window);
  form.on_tick = [&] { window.Unload(); };
  const Clock::time_point created = Clock::now();
  EXPECT_TRUE(window.Run(form));

  ASSERT_EQ(form.ticks.size(), 1u);
  EXPECT_GE(SecondsBetween(created, form.ticks[0]), 4.99);
  EXPECT_LT(SecondsBetween(created, form.ticks[0]), 5.5);
}

TEST_F(FltkWindowTest, DisabledTimer2NeverTicks) {
  FltkWindow window("c:", 100ms);
  RecordingForm form(window);
  form.on_load = [&] { window.DisableTimer2(); };
  {
    std::jthread user([&] {
      const std::string id = WaitForVisibleWindow("B");
      if (id.empty()) return ADD_FAILURE() << "the window was not shown";
      std::this_thread::sleep_for(500ms);
      Click(id, kUscitaX, kUscitaY);
      ExpectClosedSoon(id);
    });
    EXPECT_TRUE(window.Run(form));
  }
  EXPECT_THAT(form.ticks, IsEmpty());
}

// The start-up's message box for a missing company database: ticks run nested while it is open.
TEST_F(FltkWindowTest, Timer2TicksWhileAMessageBoxIsOpen) {
  FltkWindow window("c:", 200ms);
  RecordingForm form(window);
  bool in_message = false;
  int ticks_in_message = 0;
  form.on_tick = [&] { ticks_in_message += in_message ? 1 : 0; };
  form.on_load = [&] {
    in_message = true;
    window.ShowMessage("ERRORE : FILE c:\\nodo\\orbis.mdb NON ESISTE ");
    in_message = false;
    window.Unload();
  };
  std::string box_geometry;
  {
    std::jthread user([&] {
      const std::string id = WaitForVisibleWindow("catalog-publisher");
      if (id.empty()) return ADD_FAILURE() << "the message box was not shown";
      box_geometry = Output("xdotool getwindowgeometry --shell " + id);
      std::this_thread::sleep_for(900ms);
      Output("xdotool mousemove --window " + id + " 5 5 key Return");  // OK
    });
    EXPECT_FALSE(window.Run(form));
  }
  EXPECT_THAT(form.events, ElementsAre("Form_Load", "Form_Unload"));
  EXPECT_GE(ticks_in_message, 3);
  EXPECT_EQ(ticks_in_message, static_cast<int>(form.ticks.size()));
  // Centred on the screen like a Windows message box, not put at the pointer.
  int x = 0, y = 0, w = 0, h = 0;
  ASSERT_EQ(
      std::sscanf(box_geometry.c_str(), "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &x, &y, &w, &h),
      4)
      << box_geometry;
  EXPECT_NEAR(x + w / 2, 512, 1);
  EXPECT_NEAR(y + h / 2, 384, 1);
}

// A tick's error while the message box waits: the box closes and the error leaves Run.
TEST_F(FltkWindowTest, ErrorInATickClosesTheMessageBoxAndLeavesRun) {
  FltkWindow window("c:", 100ms);
  RecordingForm form(window);
  form.on_tick = [] { throw std::runtime_error("registro non scrivibile"); };
  form.on_load = [&] { window.ShowMessage("ERRORE : FILE c:\\nodo\\orbis.mdb NON ESISTE "); };

  EXPECT_THROW(window.Run(form), std::runtime_error);
  EXPECT_EQ(form.ticks.size(), 1u);
  // The X server unmaps the box in its own time: a loaded machine may take a moment.
  std::string visible = "box";
  for (int i = 0; i < 30 && !visible.empty(); ++i) {
    window.ProcessPendingEvents();
    visible = Output("xdotool search --onlyvisible --name '^catalog-publisher$'");
    if (!visible.empty()) std::this_thread::sleep_for(100ms);
  }
  EXPECT_EQ(visible, "");
  EXPECT_EQ(form.ticks.size(), 1u);
}

// A tick's error while the window waits for "Uscita": no further tick, Form_Unload still possible.
TEST_F(FltkWindowTest, ErrorInATickStopsTimer2AndLeavesRun) {
  FltkWindow window("c:", 100ms);
  RecordingForm form(window);
  form.on_tick = [] { throw std::runtime_error("registro non scrivibile"); };

  EXPECT_THROW(window.Run(form), std::runtime_error);
  for (int i = 0; i < 5; ++i) {
    std::this_thread::sleep_for(100ms);
    window.ProcessPendingEvents();
  }
  EXPECT_EQ(form.ticks.size(), 1u);
  EXPECT_THAT(form.events, ElementsAre("Form_Load"));
  EXPECT_TRUE(window.Loaded());
  window.Unload();
  EXPECT_THAT(form.events, ElementsAre("Form_Load", "Form_Unload"));
}

// The upload's yield: a tick that is due is handled inside ProcessPendingEvents, before the
// window is ever shown.
TEST_F(FltkWindowTest, PendingTickIsHandledByProcessPendingEvents) {
  FltkWindow window("c:", 100ms);
  RecordingForm form(window);
  std::size_t ticks_after_yield = 0;
  form.on_load = [&] {
    std::this_thread::sleep_for(150ms);
    EXPECT_THAT(form.ticks, IsEmpty());
    window.ProcessPendingEvents();
    ticks_after_yield = form.ticks.size();
    window.Unload();
  };

  EXPECT_FALSE(window.Run(form));
  EXPECT_GE(ticks_after_yield, 1u);
}

}  // namespace
}  // namespace catpub::ui
