#include "ui/headless_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "fakes/recording_form.h"

namespace catpub::ui {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::RecordingForm;

TEST(HeadlessWindowTest, MessageGoesToStandardErrorAsOneLine) {
  HeadlessWindow window("c:");
  ::testing::internal::CaptureStderr();
  window.ShowMessage("ERRORE : FILE c:\\nodo\\orbis.mdb NON ESISTE ");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "ERRORE : FILE c:\\nodo\\orbis.mdb NON ESISTE \n");  // trailing blank kept
}

// The company database is missing: Form_Load shows its message and returns with the window loaded.
// The window would now wait for "Uscita"; headless, the run ends through Unload at once.
TEST(HeadlessWindowTest, WindowLeftLoadedEndsTheRunThroughUnload) {
  std::ostringstream messages;
  HeadlessWindow window("c:", messages);
  RecordingForm form(window);
  std::string drive;
  form.on_load = [&] {
    drive = window.CurrentDrive();
    window.ShowMessage("ERRORE : FILE c:\\nodo\\orbis.mdb NON ESISTE ");
    window.ProcessPendingEvents();
    EXPECT_TRUE(window.Loaded());
  };

  EXPECT_TRUE(window.Run(form));
  EXPECT_THAT(form.events, ElementsAre("Form_Load", "Form_Unload"));
  EXPECT_THAT(form.ticks, IsEmpty());
  EXPECT_FALSE(window.Loaded());
  EXPECT_EQ(drive, "c:");
  EXPECT_EQ(messages.str(), "ERRORE : FILE c:\\nodo\\orbis.mdb NON ESISTE \n");
  EXPECT_EQ(window.TillNumber(), "");
}

// A publication unloads the window inside Form_Load: the window would never have been shown.
TEST(HeadlessWindowTest, FormLoadThatUnloadsRaisesFormUnloadOnceAndIsNotShown) {
  HeadlessWindow window("c:");
  RecordingForm form(window);
  form.on_load = [&] {
    window.Unload();
    EXPECT_FALSE(window.Loaded());
    window.Unload();  // the gate's last switch-off and any later unload change nothing
    window.DisableTimer2();
  };

  EXPECT_FALSE(window.Run(form));
  window.Unload();
  EXPECT_THAT(form.events, ElementsAre("Form_Load", "Form_Unload"));
}

TEST(HeadlessWindowTest, ErrorInFormLoadLeavesRunWithoutUnloading) {
  HeadlessWindow window("c:");
  RecordingForm form(window);
  form.on_load = [] { throw std::runtime_error("tabella codean mancante"); };

  EXPECT_THROW(window.Run(form), std::runtime_error);
  EXPECT_THAT(form.events, ElementsAre("Form_Load"));
  EXPECT_TRUE(window.Loaded());
  window.Unload();
  EXPECT_THAT(form.events, ElementsAre("Form_Load", "Form_Unload"));
}

}  // namespace
}  // namespace catpub::ui
