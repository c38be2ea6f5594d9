// Tables that exercise every column type and the awkward cases of the file format, with the rows
// any reader must give back exactly. The writer's tests write them and read them back through
// libmdb and through mdb-reader; a reader of the program can be checked against the same data.
#pragma once

#include <cfloat>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "db/value.h"
#include "mdbwriter/every_type.h"
#include "mdbwriter/mdb_writer.h"

namespace catpub::mdbwriter::roundtrip {

using db::Currency;
using db::DateTime;
using db::Value;
using Row = std::vector<Value>;

inline const Value kNull{};

// `count` copies of `piece`, to build long texts.
inline std::string Repeat(const std::string& piece, size_t count) {
  std::string text;
  text.reserve(piece.size() * count);
  for (size_t i = 0; i < count; ++i) text += piece;
  return text;
}

// 255 characters, accented letters included.
inline std::string FullText() { return Repeat("àèìòù", 51); }

// 100,008 bytes stored (50,004 characters), long enough for a chain of 25 long-value pages.
inline std::string LongMemo() { return Repeat("Memo lungo: perché no? Ελληνικά 日本. ", 1389); }

// One column of each type, rows of ordinary values, Nulls and the limits of each type.
inline Table AllTypes() {
  Table table{"tipi", EveryTypeColumns(), {}, {}};
  constexpr auto kLongMin = std::numeric_limits<int32_t>::min();
  constexpr auto kLongMax = std::numeric_limits<int32_t>::max();
  constexpr auto kMoneyMin = std::numeric_limits<int64_t>::min();
  constexpr auto kMoneyMax = std::numeric_limits<int64_t>::max();
  table.rows = {
      // Ordinary values.
      Row{true, uint8_t{7}, int16_t{-12}, int32_t{123456}, Currency{13500}, 1.5f, 0.1,
          DateTime{36526.5}, std::string("società"), std::string("nota breve")},
      // Null everywhere a Null can be; Yes/No false.
      Row{false, kNull, kNull, kNull, kNull, kNull, kNull, kNull, kNull, kNull},
      // Empty text and Memo are not Null.
      Row{true, uint8_t{0}, int16_t{0}, int32_t{0}, Currency{0}, 0.0f, 0.0, DateTime{0},
          std::string(), std::string()},
      // Upper limits.
      Row{true, uint8_t{255}, int16_t{32767}, int32_t{kLongMax}, Currency{kMoneyMax}, FLT_MAX,
          DBL_MAX, DateTime{2958465.999988426}, FullText(), std::string("Ελληνικά")},
      // Lower limits and signed zeros.
      Row{false, uint8_t{1}, int16_t{-32768}, int32_t{kLongMin}, Currency{kMoneyMin}, -FLT_MAX,
          -DBL_MAX, DateTime{-657434.0}, std::string("日本"), std::string("日本語のメモ")},
      Row{true, kNull, kNull, kNull, Currency{-1}, -0.0f, -0.0, DateTime{-1.25},
          std::string("C:\\ORBIS\\DATI.MDB"), kNull},
      // Values a decimal form cannot hold exactly, tiny and huge ones.
      Row{false, kNull, kNull, kNull, Currency{1}, 0.1f, 1e20, DateTime{1.0 / 3},
          std::string("\"virgolette\"; punto e virgola\r\na capo\ttab"), std::string("€ ÿ Ā ſ")},
      Row{true, kNull, kNull, kNull, Currency{-9999}, 1e20f, 1.0 / 3, DateTime{45000.999988425923},
          std::string("\xEF\xBB\xBF"
                      "comincia con U+FEFF"),
          std::string("\xEF\xBB\xBF"
                      "anche la nota")},
      Row{true, kNull, kNull, kNull, kNull, FLT_MIN, DBL_MIN, kNull, std::string("x"),
          std::string(1, '\x01')},
      Row{true, kNull, kNull, kNull, kNull, 3.4028e-45f, 4.9406564584124654e-324, kNull,
          std::string(" spazi  "), kNull},
      Row{true, kNull, kNull, kNull, kNull, 16777217.0f, 9007199254740993.0, kNull, kNull, kNull},
      // Memos on both sides of what a long-value row holds (4,080 bytes = 2,040 characters), and
      // a long one in a chain of pages.
      Row{false, kNull, kNull, kNull, kNull, kNull, kNull, kNull, kNull, Repeat("a", 2040)},
      Row{false, kNull, kNull, kNull, kNull, kNull, kNull, kNull, kNull, Repeat("b", 2041)},
      Row{false, kNull, kNull, kNull, kNull, kNull, kNull, kNull, FullText(), LongMemo()},
      Row{true, kNull, kNull, kNull, kNull, kNull, kNull, kNull, kNull, Repeat("ü", 1500)},
  };
  return table;
}

// Memos that do not all fit in their row: some stay in it, the longest go out.
inline Table Memos() {
  Table table{"note",
              {{"n", ColumnType::kLong},
               {"prima", ColumnType::kMemo},
               {"seconda", ColumnType::kMemo},
               {"terza", ColumnType::kMemo}},
              {},
              {}};
  for (int32_t n = 0; n < 40; ++n) {
    table.rows.push_back(
        Row{n, Repeat("p", 100 + 60 * static_cast<size_t>(n)),
            Repeat("s", 1900 - 40 * static_cast<size_t>(n)),
            n % 3 == 0 ? kNull : Value(Repeat("t", 700 + static_cast<size_t>(n)))});
  }
  return table;
}

// The configuration table of the shop's application, as it looks in the real file.
inline Table Societa() {
  return Table{"società",
               {{"codute", ColumnType::kLong}, {"database", ColumnType::kText, 255}},
               {Row{int32_t{1}, std::string("C:\\ORBIS\\DATI.MDB")},
                Row{int32_t{2}, std::string("C:\\ORBIS\\ARCHIVIO.MDB")}},
               {}};
}

// Names in other scripts, and a table without rows.
inline Table Greek() {
  return Table{"Ελληνικά",
               {{"όνομα", ColumnType::kText, 20}, {"日本", ColumnType::kInteger}},
               {Row{std::string("Αθήνα"), int16_t{1}}, Row{std::string("東京"), int16_t{2}}},
               {}};
}
inline Table Empty() { return Table{"vuota", {{"campo", ColumnType::kText, 10}}, {}, {}}; }

// 120 columns with 64-character names: the definition takes several pages.
inline Table Wide() {
  Table table{"larga", {}, {}, {}};
  for (int i = 0; i < 120; ++i) {
    std::string name = "colonna_" + std::to_string(i) + "_";
    name += std::string(64 - name.size(), 'x');
    table.columns.push_back({name, i % 2 == 0 ? ColumnType::kLong : ColumnType::kBoolean});
  }
  for (int32_t r = 0; r < 3; ++r) {
    Row row(120);
    for (int i = 0; i < 120; ++i) {
      if (i % 2 == 1) {
        row[i] = (i + r) % 3 == 0;
      } else if (i != 2 * r) {
        row[i] = int32_t{r * 1000 + i};
      }
    }
    table.rows.push_back(row);
  }
  return table;
}

// Row `n` of the many-rows table.
inline Row ManyRowsRow(int32_t n) {
  return Row{n,
             std::string("Articolo n° ") + std::to_string(n) + " — descrizione di prova",
             Currency{static_cast<int64_t>(n) * 137 % 1000003 - 500000},
             n % 3 == 0,
             n % 10 == 0 ? kNull : Value(DateTime{36526.0 + n / 1440.0}),
             static_cast<double>(n) / 7};
}

// 70,000 rows streamed from a generator: thousands of data pages, more than the 512 an inline
// usage map covers.
inline Table ManyRows(int32_t count = 70000) {
  Table table{"molte_righe",
              {{"codice", ColumnType::kLong},
               {"descrizione", ColumnType::kText, 60},
               {"prezzo", ColumnType::kCurrency},
               {"attivo", ColumnType::kBoolean},
               {"quando", ColumnType::kDateTime},
               {"quantita", ColumnType::kDouble}},
              {},
              {}};
  table.generate = [n = int32_t{0}, count](std::vector<Value>& row) mutable {
    if (n == count) return false;
    row = ManyRowsRow(n++);
    return true;
  };
  return table;
}

inline std::vector<Table> RoundTripTables() {
  return {AllTypes(), Memos(), Societa(), Greek(), Empty(), Wide(), ManyRows()};
}

// The rows a table holds, generated ones included.
inline std::vector<Row> RowsOf(const Table& table) {
  if (!table.generate) return table.rows;
  std::vector<Row> rows;
  auto generate = table.generate;  // a copy: the table stays ready to be written
  Row row;
  while (generate(row)) rows.push_back(row);
  return rows;
}

}  // namespace catpub::mdbwriter::roundtrip
