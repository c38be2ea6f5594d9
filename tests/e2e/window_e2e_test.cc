// The built program with a real window: each test starts its own Xvfb, runs the program on it over
// real Access files and plays the user with xdotool, as someone at the shop's till would.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "fakes/command_output.h"
#include "fakes/xvfb_display.h"
#include "support/refused_port.h"
#include "support/run_program.h"
#include "support/shop.h"

// Last: Xlib's macros must not reach the headers above.
#include <X11/Xlib.h>

namespace catpub {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::Codean;
using testing::Listi01;
using testing::Output;
using testing::Row;
using testing::Shop;
using testing::StartedProgram;
using testing::Utenti;

// Form1 in client pixels (twips / 15): the client area, the centre of "Uscita" (120, 6720,
// 8655 x 1095) and the inside of nrposw (Frame1 at 120, 0; nrposw at 240, 840, 975 x 405 in it)
// without its sunken border.
constexpr int kWindowWidth = 8895 / 15;
constexpr int kWindowHeight = 7965 / 15;
constexpr int kUscitaX = (120 + 8655 / 2) / 15;
constexpr int kUscitaY = (6720 + 1095 / 2) / 15;
constexpr int kNrposwLeft = (120 + 240) / 15 + 3, kNrposwTop = 840 / 15 + 3;
constexpr int kNrposwWidth = 975 / 15 - 6, kNrposwHeight = 405 / 15 - 6;

const char kMessageTitle[] = "catalog-publisher";
const char kHeartbeat[] = "- Inizio elaborazione \r\n";

// The log with every time stamp replaced by "<stamp>", so lines compare exactly otherwise.
std::string Unstamped(const std::string& log) {
  static const std::regex stamp(R"(\d\d/\d\d/\d{4}-\d\d:\d\d:\d\d-)");
  return std::regex_replace(log, stamp, "<stamp>-");
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

// A private display and what a user does on it, through xdotool and ImageMagick.
class Screen {
 public:
  const std::string& name() const { return display_.name(); }

  // The first visible window titled exactly `title`; empty when there is none.
  std::string Visible(const std::string& title) {
    const std::string ids = X("xdotool search --onlyvisible --name '^" + title + "$'");
    return ids.substr(0, ids.find('\n'));
  }

  // Waits while `program` runs for a visible window titled `title`, up to `limit`; empty if none.
  std::string WaitFor(const std::string& title, StartedProgram& program,
                      Clock::duration limit = 10s) {
    for (const auto end = Clock::now() + limit; Clock::now() < end && program.Running();) {
      if (std::string id = Visible(title); !id.empty() && Settled(id, title)) return id;
      std::this_thread::sleep_for(50ms);
    }
    const std::string id = Visible(title);
    return !id.empty() && Settled(id, title) ? id : "";
  }

  Geometry GeometryOf(const std::string& id) {
    std::istringstream lines(X("xdotool getwindowgeometry --shell " + id));
    Geometry g;
    for (std::string line; std::getline(lines, line);) {
      const size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      const std::string key = line.substr(0, eq);
      const int value = std::stoi(line.substr(eq + 1));
      if (key == "X") g.x = value;
      if (key == "Y") g.y = value;
      if (key == "WIDTH") g.width = value;
      if (key == "HEIGHT") g.height = value;
    }
    return g;
  }

  // A real click (XTEST) at a point of the window, in client coordinates.
  void Click(const std::string& id, int x, int y) {
    X("xdotool mousemove --window " + id + " " + std::to_string(x) + " " + std::to_string(y) +
      " click 1");
  }

  // Return in a message box: its one button, OK, is the default.
  void PressReturn(const std::string& id) {
    X("xdotool mousemove --window " + id + " 5 5 key Return");
  }

  // The darkest grey (0 black, 1 white) inside a rectangle of the window as it is on the screen.
  // Throws when there is no picture to measure.
  double Darkest(const std::string& id, int left, int top, int width, int height) {
    const Geometry g = GeometryOf(id);
    const std::string crop = std::to_string(width) + "x" + std::to_string(height) + "+" +
                             std::to_string(g.x + left) + "+" + std::to_string(g.y + top);
    return std::stod(X("import -window root png:- | convert png:- -crop " + crop +
                       " -colorspace Gray -format '%[fx:minima]' info:"));
  }

 private:
  std::string X(const std::string& command) { return Output("DISPLAY=" + name() + " " + command); }

  // Whether the window is shown as the user will see it. Under Wine, Form1 is shown twice: first
  // with a plain frame and left unpainted (black on the screen) for a second or two, then with the
  // dialog's frame, off the task bar, and painted.
  bool Settled(const std::string& id, const std::string& title) {
    if (!testing::kUnderWine || title != "B") return true;
    return X("xprop -id " + id + " _NET_WM_STATE").find("_NET_WM_STATE_SKIP_TASKBAR") !=
           std::string::npos;
  }

  testing::XvfbDisplay display_;
};

// Counts the windows mapped on a display from the moment it is made: catches a window that is
// shown for an instant, which polling for it would miss. Under Wine a run that publishes maps a
// one-pixel override-redirect window of Wine's own, which nobody sees: not counted.
class MapWatcher {
 public:
  explicit MapWatcher(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
    if (display_ == nullptr) throw std::runtime_error("cannot open " + display);
    XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
    XSync(display_, False);
  }
  ~MapWatcher() { XCloseDisplay(display_); }
  MapWatcher(const MapWatcher&) = delete;
  MapWatcher& operator=(const MapWatcher&) = delete;

  int Maps() {
    XSync(display_, False);
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type == CreateNotify) {
        one_pixel_[event.xcreatewindow.window] =
            event.xcreatewindow.width == 1 && event.xcreatewindow.height == 1;
      }
      if (event.type == ConfigureNotify) {
        one_pixel_[event.xconfigure.window] =
            event.xconfigure.width == 1 && event.xconfigure.height == 1;
      }
      if (event.type == MapNotify) {
        const bool wines_own =
            testing::kUnderWine && event.xmap.override_redirect && one_pixel_[event.xmap.window];
        if (!wines_own) ++maps_;
      }
    }
    return maps_;
  }

 private:
  Display* display_;
  int maps_ = 0;
  std::map<Window, bool> one_pixel_;  // by the window's last size seen
};

// True when the program holds a file of `folder` open.
bool HoldsFileIn(pid_t pid, const std::filesystem::path& folder) {
  std::error_code error;
  for (const auto& fd :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    const std::filesystem::path target = std::filesystem::read_symlink(fd.path(), error);
    if (!error && target.parent_path() == folder) return true;
  }
  return false;
}

// Waits up to `limit` for the program to end; false when it still runs.
bool EndsWithin(StartedProgram& program, Clock::duration limit) {
  for (const auto end = Clock::now() + limit; Clock::now() < end;) {
    if (!program.Running()) return true;
    std::this_thread::sleep_for(20ms);
  }
  return !program.Running();
}

// Waits until the shop's log holds `count` heartbeat lines, up to `deadline`; returns when that
// was seen, measured from `start`, or a negative time when it was not.
double HeartbeatSeen(const Shop& shop, size_t count, Clock::time_point start,
                     Clock::time_point deadline) {
  while (Clock::now() < deadline) {
    if (Count(shop.Log(), kHeartbeat) >= count) return Seconds(Clock::now() - start);
    std::this_thread::sleep_for(20ms);
  }
  return -1;
}

class WindowEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::XvfbDisplay::Installed()) GTEST_SKIP() << "Xvfb is not installed";
    // Without them the user's side cannot act and the window would wait until it is killed.
    ASSERT_TRUE(testing::OnPath("xdotool")) << "install xdotool";
    ASSERT_TRUE(testing::OnPath("import") && testing::OnPath("convert")) << "install imagemagick";
  }

  static std::unique_ptr<StartedProgram> Start(const Shop& shop, const std::string& display,
                                               char drive = 'c') {
    return std::make_unique<StartedProgram>(
        CATPUB_EXECUTABLE, shop.Drive(drive),
        std::map<std::string, std::string>{{"CATALOG_PUBLISHER_DRIVES", shop.drives().string()},
                                           {"DISPLAY", display}});
  }

  // The gate finds no data database: the company database has a row for company 2 only.
  static void NoCompanyRow(Shop& shop) {
    shop.CompanyDatabase("C:\\ORBIS\\DATI.MDB", 'c', true, int16_t{2});
  }
  static constexpr char kNoCompanyLog[] =
      "<stamp>- Avvio programma\r\n"
      "ERRORE : SOCIETA CON CODICE 1 NON ESISTE \r\n"
      "ERRORE :NOME DB NON ESISTE....\r\n";
};

TEST_F(WindowEndToEnd, ASuccessfulRunNeverShowsTheWindow) {
  Shop shop;
  shop.CompanyDatabase("C:\\ORBIS\\DATI.MDB");
  shop.DataDatabase("c/orbis/dati.mdb",
                    {Utenti({Row{int32_t{1}, int16_t{3}, int32_t{12}}}), Codean({}), Listi01({})});
  Screen screen;
  MapWatcher maps(screen.name());

  std::unique_ptr<StartedProgram> program = Start(shop, screen.name());
  bool seen = false;
  while (program->Running()) {
    if (!screen.Visible("B").empty()) seen = true;
  }
  testing::ProgramResult result = program->Wait();

  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_FALSE(seen);
  EXPECT_EQ(maps.Maps(), 0) << "a window was shown";
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(Unstamped(shop.Log()).ends_with("CONTROLLO DB ORBIS OK\r\n<stamp>- Cassa 0 OK\r\n"))
      << shop.Log();
}

TEST_F(WindowEndToEnd, NoDataDatabaseShowsTheTillNumberUntilUscita) {
  Shop shop;
  NoCompanyRow(shop);
  Screen screen;
  std::unique_ptr<StartedProgram> program = Start(shop, screen.name());

  const std::string id = screen.WaitFor("B", *program);
  ASSERT_FALSE(id.empty()) << "the window did not appear; " << program->ErrSoFar();
  const Geometry g = screen.GeometryOf(id);
  EXPECT_EQ(g.width, kWindowWidth);
  EXPECT_EQ(g.height, kWindowHeight);
  std::this_thread::sleep_for(300ms);  // drawn
  EXPECT_LT(screen.Darkest(id, kNrposwLeft, kNrposwTop, kNrposwWidth, kNrposwHeight), 0.5)
      << "nrposw shows no till number";
  EXPECT_EQ(screen.Visible(kMessageTitle), "") << "no message box on this path";
  EXPECT_TRUE(HoldsFileIn(program->pid(), shop.Drive('c') / "orbis/bkp")) << "the log is open";
  EXPECT_EQ(Unstamped(shop.Log()), kNoCompanyLog);

  screen.Click(id, kUscitaX, kUscitaY);
  ASSERT_TRUE(EndsWithin(*program, 5s)) << "Uscita did not end the run";
  testing::ProgramResult result = program->Wait();
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(Unstamped(shop.Log()), kNoCompanyLog);
}

// A signal while the window waits for "Uscita", or while a message box waits for OK, ends the run
// as "Uscita" would, and says why: nobody may be there to press anything.
TEST_F(WindowEndToEnd, ASignalEndsTheWindowsWaitAsUscitaWould) {
  if (testing::kUnderWine) {
    GTEST_SKIP() << "Windows has no signals; its console events cannot be sent from outside Wine";
  }
  const struct {
    const char* what;
    int signal;
    const char* title;  // of what waits
    char drive;
    std::string logged_before;
    std::string line;
  } cases[] = {
      {"window", SIGTERM, "B", 'c', kNoCompanyLog,
       "ERRORE : esecuzione interrotta dal segnale SIGTERM"},
      {"message box", SIGINT, kMessageTitle, 'd', "<stamp>- Avvio programma\r\n",
       "ERRORE : esecuzione interrotta dal segnale SIGINT"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Shop shop;
    NoCompanyRow(shop);
    std::filesystem::create_directories(shop.Drive('d'));  // no d:\nodo\orbis.mdb
    Screen screen;
    std::unique_ptr<StartedProgram> program = Start(shop, screen.name(), c.drive);
    ASSERT_FALSE(screen.WaitFor(c.title, *program).empty())
        << "nothing appeared; " << program->ErrSoFar();

    kill(program->pid(), c.signal);
    ASSERT_TRUE(EndsWithin(*program, 5s)) << "the signal did not end the wait";
    testing::ProgramResult result = program->Wait();
    EXPECT_EQ(result.exit_status, 3);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.err, c.line + "\n");
    EXPECT_EQ(Unstamped(shop.Log()), c.logged_before + c.line + "\r\n");
  }
}

// Two runs side by side, each on its own display, on the same clock. Without a company database
// Form_Load returns before the gate, so Timer2 keeps ticking: ticks come while the message box is
// open and after it, the heartbeat every second tick. A run whose gate found no data database has
// Timer2 switched off and writes none.
TEST_F(WindowEndToEnd, Timer2TicksOnlyWhenTheGateWasNeverReached) {
  Shop missing, no_company;
  std::filesystem::create_directories(missing.Drive('d'));  // no d:\nodo\orbis.mdb
  NoCompanyRow(no_company);
  Screen missing_screen, no_company_screen;

  Clock::time_point start = Clock::now();
  std::unique_ptr<StartedProgram> missing_run = Start(missing, missing_screen.name(), 'd');
  std::unique_ptr<StartedProgram> no_company_run = Start(no_company, no_company_screen.name());
  if (testing::kUnderWine) {
    // Wine takes a second or two to start a program in a new prefix: Timer2's time counts from
    // the run's first line, written as Form_Load starts, just after Timer2 was started.
    const auto deadline = Clock::now() + 20s;
    while (missing.Log().empty() && Clock::now() < deadline) std::this_thread::sleep_for(20ms);
    ASSERT_FALSE(missing.Log().empty()) << "the run did not start; " << missing_run->ErrSoFar();
    start = Clock::now();
  }

  const std::string box = missing_screen.WaitFor(kMessageTitle, *missing_run);
  ASSERT_FALSE(box.empty()) << "no message box; " << missing_run->ErrSoFar();
  const std::string idle = no_company_screen.WaitFor("B", *no_company_run);
  ASSERT_FALSE(idle.empty()) << "the window did not appear; " << no_company_run->ErrSoFar();

  // The box stays open through the first heartbeat: Form_Load has not returned, the window is
  // not shown yet, and the log is open.
  const double first = HeartbeatSeen(missing, 1, start, start + 20s);
  EXPECT_NEAR(first, 15, 1.5);
  EXPECT_EQ(missing_screen.Visible("B"), "");
  EXPECT_TRUE(HoldsFileIn(missing_run->pid(), missing.Drive('c') / "orbis/bkp"));
  EXPECT_EQ(Unstamped(missing.Log()),
            std::string("<stamp>- Avvio programma\r\n<stamp>") + kHeartbeat);

  missing_screen.PressReturn(box);
  const std::string id = missing_screen.WaitFor("B", *missing_run);
  ASSERT_FALSE(id.empty()) << "the window did not appear after the box";
  EXPECT_EQ(missing_screen.Visible(kMessageTitle), "");
  const Geometry g = missing_screen.GeometryOf(id);
  EXPECT_EQ(g.width, kWindowWidth);
  EXPECT_EQ(g.height, kWindowHeight);
  std::this_thread::sleep_for(300ms);  // drawn
  EXPECT_GT(missing_screen.Darkest(id, kNrposwLeft, kNrposwTop, kNrposwWidth, kNrposwHeight), 0.9)
      << "nrposw is not empty";

  const double second = HeartbeatSeen(missing, 2, start, start + 30s);
  EXPECT_NEAR(second, 25, 1.5);

  // By now Timer2 would have written two lines in the other run.
  EXPECT_TRUE(no_company_run->Running());
  EXPECT_EQ(Unstamped(no_company.Log()), kNoCompanyLog);
  no_company_screen.Click(idle, kUscitaX, kUscitaY);
  ASSERT_TRUE(EndsWithin(*no_company_run, 5s));
  EXPECT_EQ(no_company_run->Wait().exit_status, 1);

  missing_screen.Click(id, kUscitaX, kUscitaY);
  ASSERT_TRUE(EndsWithin(*missing_run, 5s)) << "Uscita did not end the run";
  testing::ProgramResult result = missing_run->Wait();
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(Unstamped(missing.Log()), std::string("<stamp>- Avvio programma\r\n<stamp>") +
                                          kHeartbeat + "<stamp>" + kHeartbeat);
}

TEST_F(WindowEndToEnd, AFatalErrorWaitsForItsMessageBox) {
  Shop shop;
  shop.CompanyDatabase("C:\\ORBIS\\DATI.MDB");
  std::filesystem::resize_file(shop.Drive('c') / "nodo/orbis.mdb", 4096 * 3);
  Screen screen;
  std::unique_ptr<StartedProgram> program = Start(shop, screen.name());

  const std::string box = screen.WaitFor(kMessageTitle, *program);
  ASSERT_FALSE(box.empty()) << "no message box; " << program->ErrSoFar();
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(program->Running()) << "the run ended with its message box open";
  EXPECT_TRUE(program->ErrSoFar().starts_with("ERRORE : ")) << program->ErrSoFar();
  EXPECT_EQ(screen.Visible("B"), "");
  EXPECT_NE(Unstamped(shop.Log()).find("<stamp>- Avvio programma\r\nERRORE : "), std::string::npos);

  screen.PressReturn(box);
  ASSERT_TRUE(EndsWithin(*program, 5s)) << "closing the box did not end the run";
  testing::ProgramResult result = program->Wait();
  EXPECT_EQ(result.exit_status, 3);
  EXPECT_EQ(result.signal, 0);
  EXPECT_NE(result.err.find("c:\\nodo\\orbis.mdb"), std::string::npos) << result.err;
  EXPECT_EQ(Count(result.err, "\n"), 1u) << result.err;
}

// A display that cannot be opened is no display: the run goes on headless and ends as it would
// without one, never with FLTK's own "Can't open display" exit.
TEST_F(WindowEndToEnd, AnUnreachableDisplayRunsHeadless) {
  // A display over TCP whose port (6000 + its number) this test holds bound and never listens on:
  // connecting is refused at once, whatever else runs, and no test's Xvfb (never on TCP) is there.
  const testing::RefusedPort held;
  ASSERT_TRUE(held.held());
  const std::string dead = "127.0.0.1:" + std::to_string(held.port() - 6000);
  struct Case {
    const char* what;
    void (*make)(Shop&);
    char drive;
    int status;
    const char* err_start;
  };
  const Case cases[] = {
      {"company database missing",
       [](Shop& shop) { std::filesystem::create_directories(shop.Drive('d')); }, 'd', 1,
       "ERRORE : FILE d:\\nodo\\orbis.mdb NON ESISTE \n"},
      {"no data database", NoCompanyRow, 'c', 1, ""},
      {"damaged company database",
       [](Shop& shop) {
         shop.CompanyDatabase("C:\\ORBIS\\DATI.MDB");
         std::filesystem::resize_file(shop.Drive('c') / "nodo/orbis.mdb", 4096 * 3);
       },
       'c', 3, "ERRORE : "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Shop shop;
    c.make(shop);
    const auto started = Clock::now();
    testing::ProgramResult result = Start(shop, dead, c.drive)->Wait();
    EXPECT_EQ(result.exit_status, c.status) << result.err;
    if (*c.err_start == '\0') {
      EXPECT_EQ(result.err, "");
    } else {
      EXPECT_TRUE(result.err.starts_with(c.err_start)) << result.err;
    }
    EXPECT_EQ(result.err.find("display"), std::string::npos) << result.err;
    EXPECT_LT(Seconds(Clock::now() - started), 20) << "waited for someone to press Uscita";
  }
}

}  // namespace
}  // namespace catpub
