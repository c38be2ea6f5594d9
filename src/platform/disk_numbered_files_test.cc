#include "platform/disk_numbered_files.h"

#include <gtest/gtest.h>

#include "platform/fatal_error.h"
#include "platform/windows_file_system.h"
#include "support/temp_dir.h"

namespace catpub::platform {
namespace {

using testing::ReadBytes;
using testing::TempDir;

class DiskNumberedFilesTest : public ::testing::Test {
 protected:
  DiskNumberedFilesTest() : fs_(dir_.path(), dir_.path()), files_(fs_) {
    std::filesystem::create_directories(dir_.path() / "c/orbis");
  }
  std::string Bytes(const char* name) { return ReadBytes(dir_.path() / "c/orbis" / name); }

  TempDir dir_;
  WindowsFileSystem fs_;
  DiskNumberedFiles files_;
};

TEST_F(DiskNumberedFilesTest, LinesEndInCrLfInWindows1252AndReachTheFileAtOnce) {
  files_.OpenForOutput(2, "C:\\ORBIS\\log.txt", Flush::kEachLine);
  files_.WriteLine(2, "DB OK  ");
  EXPECT_EQ(Bytes("log.txt"), "DB OK  \r\n");
  files_.WriteLine(2, "società €");
  EXPECT_EQ(Bytes("log.txt"), "DB OK  \r\nsociet\xE0 \x80\r\n");
  files_.CloseAllFiles();
  EXPECT_FALSE(files_.IsOpen(2));
}

TEST_F(DiskNumberedFilesTest, OutputTruncatesAndAppendKeepsWhatWasThere) {
  dir_.Write("c/orbis/a.txt", "old\r\n");
  files_.OpenForAppend(2, "C:\\orbis\\A.TXT");
  files_.WriteLine(2, "new");
  files_.CloseAllFiles();
  EXPECT_EQ(Bytes("a.txt"), "old\r\nnew\r\n");
  files_.OpenForOutput(5, "C:\\orbis\\a.txt", Flush::kEachLine);
  files_.CloseAllFiles();
  EXPECT_EQ(Bytes("a.txt"), "");
}

TEST_F(DiskNumberedFilesTest, BufferedLinesAreWrittenByCloseAllFiles) {
  files_.OpenForOutput(5, "C:\\orbis\\big.csv", Flush::kOnClose);
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    std::string line = "line " + std::to_string(i) + std::string(20, ' ') + ";";
    files_.WriteLine(5, line);
    expected += line + "\r\n";
  }
  files_.CloseAllFiles();
  EXPECT_EQ(Bytes("big.csv"), expected);
}

TEST_F(DiskNumberedFilesTest, FailuresNameTheWindowsPathAndTheReason) {
  try {
    files_.OpenForOutput(2, "C:\\orbis\\bkp\\logrul3_07122026.txt", Flush::kEachLine);
    FAIL() << "opened a file in a missing folder";
  } catch (const FatalError& error) {
    EXPECT_EQ(ReportLine(error),
              "ERRORE : impossibile aprire C:\\orbis\\bkp\\logrul3_07122026.txt: file o cartella "
              "inesistente");
  }
  EXPECT_THROW(files_.WriteLine(2, "x"), FatalError);
  files_.CloseAllFiles();  // nothing open is no error
}

#ifndef _WIN32  // Linux's /dev/full stands for a full disk; Windows has no such device
TEST_F(DiskNumberedFilesTest, AFullDiskIsAFatalError) {
  WindowsFileSystem dev(dir_.path(), "/dev");
  DiskNumberedFiles files(dev);
  files.OpenForOutput(5, "full", Flush::kEachLine);
  EXPECT_THROW(files.WriteLine(5, "x"), FatalError);
  files.OpenForOutput(2, "full", Flush::kOnClose);
  files.WriteLine(2, "x");
  EXPECT_THROW(files.CloseAllFiles(), FatalError);
  EXPECT_FALSE(files.IsOpen(2));
  EXPECT_FALSE(files.IsOpen(5));
}
#endif

}  // namespace
}  // namespace catpub::platform
