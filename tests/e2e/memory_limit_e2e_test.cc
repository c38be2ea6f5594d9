// The built program under a scheduler's memory limit (RLIMIT_AS, which its reader processes
// inherit) on a large shop: a run that runs out of memory ends with status 3 and an ERRORE line,
// never with an abort, and leaves the previous export as it was. AddressSanitizer reserves far more
// address space than any such limit, so this test is built only without the sanitizers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/catalogue.h"
#include "support/run_program.h"
#include "support/shop.h"

namespace catpub {
namespace {

namespace fs = std::filesystem;

constexpr char kOldExport[] = "vecchio catalogo;\r\n";

TEST(MemoryLimitEndToEnd, ARunOutOfMemoryIsAFatalErrorNotAnAbort) {
  testing::Shop shop;
  // The price list's index alone takes about 100 MB; the program and its readers start in 32.
  testing::WriteShop(shop, int32_t{12}, testing::Catalogue(200000));
  const fs::path orbis = shop.Drive('c') / "orbis";
  std::ofstream(orbis / "articoli.csv", std::ios::binary) << kOldExport;

  testing::ProgramResult result =
      testing::StartedProgram(
          CATPUB_E2E_EXECUTABLE, shop.Drive('c'),
          {{"CATALOG_PUBLISHER_DRIVES", shop.drives().string()}, {"DISPLAY", ""}}, rlim_t{64} << 20)
          .Wait();

  EXPECT_EQ(result.signal, 0) << result.err;
  EXPECT_EQ(result.exit_status, 3) << result.err;
  EXPECT_TRUE(
      result.err.starts_with("ERRORE : esportazione articoli: memoria esaurita "
                             "nell'indice della tabella listi01 di C:\\ORBIS\\DATI.MDB"))
      << result.err;
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  EXPECT_TRUE(shop.Log().ends_with(result.err.substr(0, result.err.size() - 1) + "\r\n"));
  EXPECT_EQ(testing::ReadBytes(orbis / "articoli.csv"), kOldExport);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(orbis)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"articoli.csv", "bkp", "dati.mdb"}));
}

}  // namespace
}  // namespace catpub
