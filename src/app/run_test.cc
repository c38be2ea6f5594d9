#include "app/run.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "fakes/recording_window.h"
#include "fakes/in_memory_tables.h"
#include "fakes/recording_ftp_control.h"

namespace catpub::app {
namespace {

using Lines = std::vector<std::string>;
using testing::MemoryTable;

class RunTest : public ::testing::Test {
 protected:
  RunTest() { disk_.folders = {"c:\\orbis\\bkp\\"}; }
  ~RunTest() override { std::fclose(err_); }

  ExitStatus RunOnce() { return app::Run(window_, form_, run_log_, err_, true); }
  std::string Err() {
    std::fflush(err_);
    std::rewind(err_);
    std::string text;
    for (int c; (c = std::fgetc(err_)) != EOF;) text += static_cast<char>(c);
    return text;
  }
  const Lines& Log() { return disk_.Lines("C:\\orbis\\bkp\\logrul3_07122026.txt"); }

  std::FILE* err_ = std::tmpfile();
  testing::FakeDisk disk_;
  testing::FakeFileSystem fs_{disk_};
  testing::FakeNumberedFiles files_{disk_};
  testing::FakeClock clock_;
  log::RunLog run_log_{fs_, files_, clock_};
  testing::InMemoryTables tables_;
  testing::RecordingWindow window_;
  testing::RecordingFtpControl ftp_;
  Form1 form_{window_, run_log_, fs_, tables_, {files_, ftp_, {"h", "u", "p"}}};
};

TEST_F(RunTest, AConfigurationErrorEndsWithStatus1) {
  EXPECT_EQ(RunOnce(), kConfigurationError);
  EXPECT_EQ(Log(), Lines{"07/12/2026-15:14:07- Avvio programma"});
  EXPECT_EQ(Err(), "");
  EXPECT_FALSE(files_.IsOpen(2));
}

TEST_F(RunTest, AFatalErrorIsLoggedPrintedAndShownWithStatus3) {
  disk_.Put("C:\\NODO\\ORBIS.MDB");  // exists, but holds no società table
  EXPECT_EQ(RunOnce(), kFatal);
  const std::string line = "ERRORE : table società not found in c:\\nodo\\orbis.mdb";
  EXPECT_EQ(Log(), (Lines{"07/12/2026-15:14:07- Avvio programma", line}));
  EXPECT_EQ(Err(), line + "\n");
  EXPECT_EQ(window_.calls().back(), "ShowMessage(" + line + ")");
  EXPECT_FALSE(files_.IsOpen(2));
}

TEST_F(RunTest, AMissingLogFolderIsReportedWithoutALog) {
  disk_.folders = {"c:\\orbis\\"};
  EXPECT_EQ(RunOnce(), kFatal);
  EXPECT_NE(Err().find("ERRORE : cannot open C:\\orbis\\bkp\\logrul3_07122026.txt"),
            std::string::npos);
  EXPECT_TRUE(disk_.files.empty());
}

}  // namespace
}  // namespace catpub::app
