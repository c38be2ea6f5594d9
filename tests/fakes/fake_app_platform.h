// Everything Form1 and the run talk to, as fakes wired to one another the way main.cc wires the
// real parts: the files on one in-memory disk, the run log on those files and a fixed clock, the
// tables in memory, a recording window and a recording FTP control; and a shop on them. The app's
// test fixtures derive from it and build Form1 on these members.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "db/value.h"
#include "fakes/fake_platform.h"
#include "fakes/in_memory_tables.h"
#include "fakes/recording_ftp_control.h"
#include "fakes/recording_window.h"
#include "log/run_log.h"

namespace catpub::testing {

class FakeAppPlatform {
 protected:
  using Row = std::vector<db::Value>;

  // A company database on C: naming `database`, with its inizio row, and the data database.
  void GoodShop(db::Value database = std::string("c:\\Orbis\\Dati.mdb")) {
    disk_.Put("C:\\NODO\\ORBIS.MDB");
    tables_.Put("c:\\nodo\\orbis.mdb", "SOCIETÀ",
                MemoryTable{{"codute", "database"},
                            {Row{int32_t{2}, std::string("x")}, Row{int32_t{1}, database}}});
    tables_.Put("c:\\nodo\\orbis.mdb", "inizio", MemoryTable{{"codute"}, {Row{int16_t{1}}}});
    disk_.Put("C:\\ORBIS\\DATI.MDB");
    Utenti(Row{int32_t{1}, int32_t{7}, int32_t{12}});
    Catalogue({});
  }
  // codean holds one barcode per article code given; listi01 prices them all.
  void Catalogue(const std::vector<int32_t>& codes) {
    MemoryTable codean{{"colare", "codare", "eanare"}, {}};
    MemoryTable listi01{
        {"codart", "desart", "desrep", "ivart", "cosiva", "przpub", "ricart", "przsal", "codafo"},
        {}};
    for (int32_t code : codes) {
      codean.rows.push_back(Row{std::monostate{}, code, "80" + std::to_string(code)});
      listi01.rows.push_back(Row{code, std::string("LATTE"), std::string("ALIMENTARI"),
                                 std::string("4"), db::Currency{13500}, db::Currency{25000},
                                 int16_t{30}, db::Currency{19900}, std::monostate{}});
    }
    tables_.Put("C:\\ORBIS\\DATI.MDB", "codean", std::move(codean));
    tables_.Put("C:\\ORBIS\\DATI.MDB", "listi01", std::move(listi01));
  }
  void Utenti(Row row) {
    tables_.Put("C:\\ORBIS\\DATI.MDB", "utenti",
                MemoryTable{{"codutente", "nrpos", "codattiv"}, {std::move(row)}});
  }

  FakeDisk disk_;
  FakeFileSystem fs_{disk_};
  FakeNumberedFiles files_{disk_};
  FakeClock clock_;
  log::RunLog run_log_{files_, clock_};
  InMemoryTables tables_;
  RecordingWindow window_;
  RecordingFtpControl ftp_;
};

}  // namespace catpub::testing
