// The file system on Windows, where Windows paths are the system's own: names outside ASCII reach
// the disk and come back whole, case is the system's business, and the current drive is the
// working directory's.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/utf8_path.h"
#include "platform/windows_file_system.h"
#include "support/temp_dir.h"

namespace catpub::platform {
namespace {

TEST(NativeWindowsFileSystem, TheCurrentDriveIsTheWorkingDirectorysOrCOnAShare) {
  EXPECT_EQ(WindowsFileSystem({}, "D:\\Negozi\\Città").CurrentDrive(), "d:");
  EXPECT_EQ(WindowsFileSystem({}, "c:\\").CurrentDrive(), "c:");
  EXPECT_EQ(WindowsFileSystem({}, "\\\\server\\negozio\\nodo").CurrentDrive(), "c:");
}

TEST(NativeWindowsFileSystem, NamesOutsideAsciiReachTheDiskAndComeBackWhole) {
  testing::TempDir dir;
  const std::string folder = Utf8Text(dir.path()) + "\\Città €";
  WindowsFileSystem files({}, dir.path());
  std::filesystem::create_directories(files.LocalPath(folder));
  const std::string database = folder + "\\Dati società.mdb";
  std::ofstream(files.LocalPath(database), std::ios::binary) << "x";

  EXPECT_TRUE(files.FileExists(database));
  EXPECT_TRUE(files.FileExists(Utf8Text(dir.path()) + "\\CITTÀ €\\DATI SOCIETÀ.MDB"));
  EXPECT_FALSE(files.FileExists(folder));
  EXPECT_EQ(files.ListFiles(folder), std::vector<std::string>{"Dati società.mdb"});

  files.Replace(database, folder + "\\Ω.mdb");
  EXPECT_EQ(files.ListFiles(folder), std::vector<std::string>{"Ω.mdb"});
  files.Remove(folder + "\\Ω.mdb");
  EXPECT_TRUE(files.ListFiles(folder).empty());
}

}  // namespace
}  // namespace catpub::platform
