#include "publish/export_temp_files.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"

namespace catpub::publish {
namespace {

// Exactly the names that ExportTempPath gives, in C:\orbis alone, go; whatever merely looks like
// one stays.
TEST(RemoveLeftoverExportsTest, RemovesExactlyWhatARunNamesItsTemporaryExport) {
  struct Case {
    const char* path;
    bool removed;
  };
  const Case cases[] = {
      {"C:\\orbis\\articoli.csv.4242.tmp", true},
      {"C:\\ORBIS\\ARTICOLI.CSV.77.TMP", true},  // names compare as on Windows
      {"c:\\Orbis\\Articoli.Csv.0123.Tmp", true},
      {"C:\\orbis\\articoli.csv", false},
      {"C:\\orbis\\articoli.csv.tmp", false},
      {"C:\\orbis\\articoli.csv..tmp", false},
      {"C:\\orbis\\articoli.csv.12a.tmp", false},
      {"C:\\orbis\\articoli.csv.-12.tmp", false},
      {"C:\\orbis\\articoli.csv. 12.tmp", false},
      {"C:\\orbis\\articoli.csv.１２.tmp", false},  // full-width digits, not ASCII ones
      {"C:\\orbis\\articoli.csv.12.tmp.bak", false},
      {"C:\\orbis\\articoli.csv12.tmp", false},
      {"C:\\orbis\\xarticoli.csv.12.tmp", false},
      {"C:\\orbis\\bkp\\articoli.csv.12.tmp", false},
      {"D:\\orbis\\articoli.csv.12.tmp", false},
  };
  testing::FakeDisk disk;
  for (const Case& c : cases) disk.Put(c.path, {"riga"});
  testing::FakeFileSystem fs(disk);

  RemoveLeftoverExports(fs);

  for (const Case& c : cases) EXPECT_EQ(disk.Has(c.path), !c.removed) << c.path;
}

}  // namespace
}  // namespace catpub::publish
