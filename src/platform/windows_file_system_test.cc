#include "platform/windows_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/fatal_error.h"
#include "support/temp_dir.h"

namespace catpub::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

class WindowsFileSystemTest : public ::testing::Test {
 protected:
  WindowsFileSystemTest() {
    drives_ = dir_.path() / "drives";
    dir_.Write("drives/c/Orbis/Dati.MDB", "x");
    dir_.Write("drives/c/Orbis/bkp/.keep", "");
    dir_.Write("drives/d/nodo/orbis.mdb", "x");
    fs::create_directories(drives_ / "d/nodo/cartella.mdb");
    dir_.Write("elsewhere/DATI.MDB", "x");
  }
  WindowsFileSystem At(const fs::path& working_dir) {
    return WindowsFileSystem(drives_, working_dir);
  }

  TempDir dir_;
  fs::path drives_;
};

TEST_F(WindowsFileSystemTest, CurrentDriveIsTheDriveFolderHoldingTheWorkingDirectory) {
  EXPECT_EQ(At(drives_ / "d").CurrentDrive(), "d:");
  EXPECT_EQ(At(drives_ / "d/nodo").CurrentDrive(), "d:");
  EXPECT_EQ(At(drives_ / "c/orbis/bkp").CurrentDrive(), "c:");
  EXPECT_EQ(At(dir_.path() / "elsewhere").CurrentDrive(), "c:");
  EXPECT_EQ(At(drives_).CurrentDrive(), "c:");
}

TEST_F(WindowsFileSystemTest, ComponentsMatchWithoutRegardToCaseAtEveryLevel) {
  WindowsFileSystem fs = At(dir_.path());
  EXPECT_EQ(fs.LocalPath("C:\\ORBIS\\DATI.MDB"), drives_ / "c/Orbis/Dati.MDB");
  EXPECT_EQ(fs.LocalPath("c:/orbis//dati.mdb"), drives_ / "c/Orbis/Dati.MDB");
  EXPECT_TRUE(fs.FileExists("C:\\ORBIS\\DATI.MDB"));
  EXPECT_TRUE(fs.FileExists("D:\\NODO\\ORBIS.MDB"));
  EXPECT_FALSE(fs.FileExists("E:\\NODO\\ORBIS.MDB"));
}

TEST_F(WindowsFileSystemTest, ANewFileKeepsItsNameInTheFolderThatMatched) {
  WindowsFileSystem fs = At(dir_.path());
  EXPECT_EQ(fs.LocalPath("C:\\ORBIS\\BKP\\logrul3_07122026.txt"),
            drives_ / "c/Orbis/bkp/logrul3_07122026.txt");
  EXPECT_EQ(fs.LocalPath("C:\\Nuova\\Cartella\\x.txt"), drives_ / "c/Nuova/Cartella/x.txt");
}

TEST_F(WindowsFileSystemTest, PathsWithoutDriveStartAtTheWorkingDirectory) {
  WindowsFileSystem fs = At(dir_.path() / "elsewhere");
  EXPECT_TRUE(fs.FileExists("dati.mdb"));
  EXPECT_TRUE(fs.FileExists(".\\Dati.Mdb"));
  EXPECT_EQ(fs.LocalPath("\\nodo\\orbis.mdb"), drives_ / "c/nodo/orbis.mdb");
  EXPECT_TRUE(At(drives_ / "d").FileExists("\\NODO\\ORBIS.MDB"));
}

TEST_F(WindowsFileSystemTest, OnlyRegularFilesExist) {
  WindowsFileSystem fs = At(dir_.path());
  EXPECT_FALSE(fs.FileExists("D:\\nodo\\cartella.mdb"));
  EXPECT_FALSE(fs.FileExists("D:\\nodo"));
  EXPECT_FALSE(fs.FileExists("D:\\nodo\\orbis.mdb\\x"));
}

TEST_F(WindowsFileSystemTest, ListFilesNamesTheRegularFilesOfAFolderAsSpelledOnDisk) {
  WindowsFileSystem fs = At(dir_.path());
  dir_.Write("drives/c/Orbis/ARTICOLI.csv.12.tmp", "x");
  fs::create_symlink(drives_ / "c/Orbis/Dati.MDB", drives_ / "c/Orbis/collegato.mdb");
  fs::create_symlink(drives_ / "c/Orbis/manca", drives_ / "c/Orbis/interrotto.tmp");
  std::vector<std::string> names = fs.ListFiles("c:\\ORBIS");
  std::sort(names.begin(), names.end());
  // Not the folder bkp, nor the file in it, nor the link that leads nowhere.
  EXPECT_EQ(names, (std::vector<std::string>{"ARTICOLI.csv.12.tmp", "Dati.MDB", "collegato.mdb"}));
  EXPECT_EQ(fs.ListFiles("D:\\nodo"), std::vector<std::string>{"orbis.mdb"});
  EXPECT_TRUE(fs.ListFiles("C:\\manca").empty());
  EXPECT_TRUE(fs.ListFiles("D:\\nodo\\orbis.mdb").empty());
}

TEST_F(WindowsFileSystemTest, ReplaceRenamesOverTheOldFile) {
  WindowsFileSystem fs = At(dir_.path());
  dir_.Write("drives/c/Orbis/articoli.csv", "old");
  dir_.Write("drives/c/Orbis/articoli.tmp", "new");
  fs.Replace("C:\\ORBIS\\ARTICOLI.TMP", "C:\\orbis\\articoli.csv");
  EXPECT_EQ(testing::ReadBytes(drives_ / "c/Orbis/articoli.csv"), "new");
  EXPECT_FALSE(fs.FileExists("C:\\orbis\\articoli.tmp"));
  EXPECT_THROW(fs.Replace("C:\\orbis\\missing.tmp", "C:\\orbis\\articoli.csv"), FatalError);
  fs.Remove("C:\\orbis\\ARTICOLI.CSV");
  fs.Remove("C:\\orbis\\ARTICOLI.CSV");
  EXPECT_FALSE(fs.FileExists("C:\\orbis\\articoli.csv"));
}

}  // namespace
}  // namespace catpub::platform
