// The built program, run in a drive folder of its own, as the shop's scheduler runs it.
#include <gtest/gtest.h>

#include <regex>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace catpub {
namespace {

using testing::ReadBytes;
using testing::RunProgram;
using testing::TempDir;

std::string TodaysLogName() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  char name[40];
  std::strftime(name, sizeof name, "logrul3_%d%m%Y.txt", &parts);
  return name;
}

class RunLogEndToEnd : public ::testing::Test {
 protected:
  testing::ProgramResult Run() {
    return RunProgram(CATPUB_EXECUTABLE, drives_.path() / "c",
                      {{"CATALOG_PUBLISHER_DRIVES", drives_.path().string()}, {"DISPLAY", ""}});
  }
  TempDir drives_;
};

TEST_F(RunLogEndToEnd, EachRunAppendsItsStartLineToTodaysLog) {
  std::filesystem::create_directories(drives_.path() / "c/orbis/bkp");
  const std::regex start_line(R"(\d\d/\d\d/\d{4}-\d\d:\d\d:\d\d- Avvio programma\r\n)");

  // No company database on the drive: the run stops after its first line.
  testing::ProgramResult first = Run();
  EXPECT_EQ(first.exit_status, 1) << first.err;
  std::string log = ReadBytes(drives_.path() / "c/orbis/bkp" / TodaysLogName());
  EXPECT_TRUE(std::regex_match(log, start_line)) << log;
  EXPECT_EQ(log.substr(0, 10).replace(2, 1, "").replace(4, 1, ""), TodaysLogName().substr(8, 8));

  testing::ProgramResult second = Run();
  EXPECT_EQ(second.exit_status, 1) << second.err;
  std::string both = ReadBytes(drives_.path() / "c/orbis/bkp" / TodaysLogName());
  ASSERT_EQ(both.size(), 2 * log.size());
  EXPECT_EQ(both.substr(0, log.size()), log);
  EXPECT_TRUE(std::regex_match(both.substr(log.size()), start_line));
}

TEST_F(RunLogEndToEnd, AMissingLogFolderEndsWithStatus3AndSaysWhy) {
  std::filesystem::create_directories(drives_.path() / "c/orbis");
  testing::ProgramResult result = Run();
  EXPECT_EQ(result.exit_status, 3);
  EXPECT_NE(result.err.find("C:\\orbis\\bkp\\" + TodaysLogName()), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("file o cartella inesistente"), std::string::npos) << result.err;
  EXPECT_FALSE(std::filesystem::exists(drives_.path() / "c/orbis/bkp"));
}

// The shop's folder cannot be locked (here a file stands where it should be): the run does not go
// on unlocked, and says why.
TEST_F(RunLogEndToEnd, AShopFolderThatCannotBeLockedEndsWithStatus3AndSaysWhy) {
  drives_.Write("c/orbis", "x");
  testing::ProgramResult result = Run();
  EXPECT_EQ(result.exit_status, 3);
  EXPECT_EQ(result.err,
            "ERRORE : impossibile bloccare la cartella C:\\orbis: una parte del percorso non è una "
            "cartella\n");
  EXPECT_EQ(ReadBytes(drives_.path() / "c/orbis"), "x");
}

}  // namespace
}  // namespace catpub
