#include "ui/make_window_host.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "ui/headless_window.h"

namespace catpub::ui {
namespace {

bool IsHeadless(const std::unique_ptr<WindowHost>& host) {
  return dynamic_cast<HeadlessWindow*>(host.get()) != nullptr;
}

TEST(MakeWindowHostTest, NoDisplayNamedGivesTheHeadlessWindow) {
  unsetenv("DISPLAY");
  EXPECT_TRUE(IsHeadless(MakeWindowHost("c:")));

  setenv("DISPLAY", "", 1);
  EXPECT_TRUE(IsHeadless(MakeWindowHost("c:")));

  // FLTK 1.3 draws on X only: a Wayland session without Xwayland has nothing for it.
  unsetenv("DISPLAY");
  setenv("WAYLAND_DISPLAY", "wayland-0", 1);
  std::unique_ptr<WindowHost> host = MakeWindowHost("d:");
  unsetenv("WAYLAND_DISPLAY");
  ASSERT_TRUE(IsHeadless(host));
  EXPECT_EQ(host->CurrentDrive(), "d:");
  // Its messages go to standard error, where the run's report already is.
  EXPECT_FALSE(host->ShowsMessageBoxes());
}

// FLTK ends the process when it cannot open a display itself; the factory must get there first.
// Run in a fresh process, so that no display is open yet.
TEST(MakeWindowHostTest, UnreachableDisplayGivesTheHeadlessWindowWithoutEndingTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("DISPLAY", ":99999", 1);
        std::_Exit(IsHeadless(MakeWindowHost("c:")) ? 0 : 2);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace catpub::ui
