// A shop on disk for end-to-end runs: a drive folder with the company database, the data database
// and the folders the program expects, all written with the project's Access writer.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "db/value.h"
#include "mdbwriter/mdb_writer.h"
#include "support/temp_dir.h"

namespace catpub::testing {

using Row = std::vector<db::Value>;

// Tables of a data database as the shop's programs lay them out.
inline mdbwriter::Table Utenti(std::vector<Row> rows) {
  using mdbwriter::ColumnType;
  return {"utenti",
          {{"codutente", ColumnType::kLong},
           {"nrpos", ColumnType::kInteger},
           {"codattiv", ColumnType::kLong}},
          std::move(rows),
          {}};
}

inline mdbwriter::Table Codean(std::vector<Row> rows) {
  using mdbwriter::ColumnType;
  return {"codean",
          {{"colare", ColumnType::kInteger},
           {"codare", ColumnType::kLong},
           {"eanare", ColumnType::kText, 13}},
          std::move(rows),
          {}};
}

// Price list 01: codart, desart, desrep, ivart, cosiva, przpub, ricart, przsal, codafo.
inline std::vector<mdbwriter::Column> Listi01Columns() {
  using mdbwriter::ColumnType;
  return {{"codart", ColumnType::kLong},     {"desart", ColumnType::kText, 50},
          {"desrep", ColumnType::kText, 30}, {"ivart", ColumnType::kText, 2},
          {"cosiva", ColumnType::kCurrency}, {"przpub", ColumnType::kCurrency},
          {"ricart", ColumnType::kDouble},   {"przsal", ColumnType::kCurrency},
          {"codafo", ColumnType::kText, 16}};
}

inline mdbwriter::Table Listi01(std::vector<Row> rows) {
  return {"listi01", Listi01Columns(), std::move(rows), {}};
}

class Shop {
 public:
  Shop() { std::filesystem::create_directories(Drive('c') / "orbis/bkp"); }

  // The folder of drive `letter`.
  std::filesystem::path Drive(char letter) const { return dir_.path() / std::string(1, letter); }
  const std::filesystem::path& drives() const { return dir_.path(); }

  // The company database on drive `letter`, whose one società row, for company `company`, names
  // `database`.
  void CompanyDatabase(const std::string& database, char letter = 'c', bool inizio = true,
                       int16_t company = 1) {
    using mdbwriter::ColumnType;
    std::filesystem::create_directories(Drive(letter) / "nodo");
    mdbwriter::WriteDatabase(
        Drive(letter) / "nodo/orbis.mdb",
        {{"società",
          {{"codute", ColumnType::kInteger}, {"database", ColumnType::kText, 255}},
          {Row{company, database}},
          {}},
         {"inizio",
          {{"codute", ColumnType::kInteger}},
          {Row{static_cast<int16_t>(inizio ? 1 : 2)}},
          {}}});
  }

  // A data database at `relative` (Linux path under the drives folder).
  void DataDatabase(const std::filesystem::path& relative, std::vector<mdbwriter::Table> tables) {
    std::filesystem::create_directories((dir_.path() / relative).parent_path());
    mdbwriter::WriteDatabase(dir_.path() / relative, tables);
  }

  std::string Log() const {
    for (const auto& entry : std::filesystem::directory_iterator(Drive('c') / "orbis/bkp")) {
      return ReadBytes(entry.path());
    }
    return {};
  }

 private:
  TempDir dir_;
};

}  // namespace catpub::testing
