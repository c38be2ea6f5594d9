#include "app/data_folder.h"

#include <gtest/gtest.h>

namespace catpub::app {
namespace {

TEST(DataFolderTest, TheFolderInFrontOfTheDataFileName) {
  struct Case {
    const char* database;
    const char* folder;
  };
  const Case cases[] = {
      {"C:\\ORBIS\\dati.mdb", "C:\\ORBIS\\"},
      {"C:\\Orbis\\Negozio\\DATI.MDB", "C:\\Orbis\\Negozio\\"},
      {"D:\\shop\\  Dati.mdb  ", "D:\\shop\\"},
      {"D:\\ shop \\dati.mdb\\x\\y", "D:\\ shop \\"},  // blanks kept in the folder
      {"C:\\\\orbis\\dati.mdb", "C:\\\\orbis\\"},      // empty components kept
      {"DATI.MDB", "e:\\orbis\\"},
      {"dati.mdb", "e:\\orbis\\"},
      {"", "e:\\orbis\\"},
      // Only the three spellings match; otherwise the last component is taken for the file.
      {"C:\\ORBIS\\dATI.MDB", "C:\\ORBIS\\"},
      {"C:\\dati.mdb.bak\\DaTi.MdB", "C:\\dati.mdb.bak\\"},
      {"C:\\ORBIS\\DATA.MDB", "C:\\ORBIS\\"},
      {"C:\\ORBIS\\", "C:\\ORBIS\\"},
      {"ARCHIVIO.MDB", "e:\\orbis\\"},
      // Eleven components at most are looked at.
      {"a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\dati.mdb", "a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\"},
      {"a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\dati.mdb", "a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\"},
      {"a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\l\\m", "a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\"},
      {"a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k", "a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(DeriveDataFolder(c.database, "e"), c.folder) << c.database;
}

}  // namespace
}  // namespace catpub::app
