#include "log/run_log.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "platform/fatal_error.h"

namespace catpub::log {
namespace {

using testing::FakeClock;
using testing::FakeDisk;
using testing::FakeNumberedFiles;

class RunLogTest : public ::testing::Test {
 protected:
  RunLogTest() : files_(disk_), log_(files_, clock_) { disk_.folders.insert("c:\\orbis\\bkp\\"); }

  FakeDisk disk_;
  FakeNumberedFiles files_;
  FakeClock clock_;
  RunLog log_;
};

TEST_F(RunLogTest, StampedAndPlainLinesAreWrittenExactly) {
  log_.OpenRunLog();
  EXPECT_EQ(log_.path(), "C:\\orbis\\bkp\\logrul3_07122026.txt");
  log_.LogStamped("- Avvio programma");
  clock_.now = {2026, 12, 7, 9, 5, 3};
  log_.LogStamped("- Apro DB  C:\\ORBIS\\dati.mdb");
  log_.LogPlain("DB OK  ");
  EXPECT_EQ(
      disk_.Lines(log_.path()),
      (std::vector<std::string>{"07/12/2026-15:14:07- Avvio programma",
                                "07/12/2026-09:05:03- Apro DB  C:\\ORBIS\\dati.mdb", "DB OK  "}));
}

TEST_F(RunLogTest, ASecondRunTheSameDayAppends) {
  disk_.Put("C:\\ORBIS\\BKP\\LOGRUL3_07122026.TXT", {"earlier"});
  log_.OpenRunLog();
  log_.LogPlain("later");
  EXPECT_EQ(disk_.Lines(log_.path()), (std::vector<std::string>{"earlier", "later"}));
}

TEST_F(RunLogTest, TheNextDayStartsANewFile) {
  log_.OpenRunLog();
  log_.LogPlain("monday");
  log_.CloseAllFiles();
  clock_.now = {2027, 1, 1, 0, 0, 0};
  log_.OpenRunLog();
  log_.LogPlain("new year");
  EXPECT_EQ(log_.path(), "C:\\orbis\\bkp\\logrul3_01012027.txt");
  EXPECT_EQ(disk_.Lines(log_.path()), std::vector<std::string>{"new year"});
  EXPECT_EQ(disk_.Lines("C:\\orbis\\bkp\\logrul3_07122026.txt"),
            std::vector<std::string>{"monday"});
}

TEST_F(RunLogTest, AFailureReportReopensAClosedLog) {
  log_.OpenRunLog();
  log_.LogStamped("- Cassa 0 OK");
  log_.CloseAllFiles();
  log_.AppendAfterClose("ERRORE : upload failed");
  EXPECT_EQ(disk_.Lines(log_.path()), (std::vector<std::string>{"07/12/2026-15:14:07- Cassa 0 OK",
                                                                "ERRORE : upload failed"}));
}

// A run that never opened the log (another run held the shop) still reports in today's log.
TEST_F(RunLogTest, AFailureReportBeforeTheLogWasOpenedGoesToTodaysLog) {
  disk_.Put("C:\\orbis\\bkp\\logrul3_07122026.txt", {"the other run"});
  log_.AppendAfterClose("ERRORE : busy");
  EXPECT_EQ(disk_.Lines("C:\\orbis\\bkp\\logrul3_07122026.txt"),
            (std::vector<std::string>{"the other run", "ERRORE : busy"}));
}

TEST_F(RunLogTest, AMissingFolderIsFatalAndNeverCreated) {
  disk_.folders = {"c:\\orbis\\"};
  EXPECT_THROW(log_.OpenRunLog(), FatalError);
  EXPECT_TRUE(disk_.files.empty());
}

}  // namespace
}  // namespace catpub::log
