// Round trips: tables written by the writer and read back by two independent readers (libmdb in
// this process, the npm package mdb-reader under node), by Debian's mdbtools commands, and by
// mdb-write from a JSON description.
#include "mdbwriter/mdb_writer.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "mdbwriter/libmdb_table_reader.h"
#include "mdbwriter/roundtrip_tables.h"

namespace catpub::mdbwriter {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using roundtrip::Row;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "mdbwriter-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

struct CommandResult {
  int status = -1;
  std::string out;
};

// Runs a shell command, capturing its standard output (standard error goes to the test's).
CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[65536];
  size_t got = 0;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <typename T>
bool SameBits(T a, T b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Equal values; floating-point ones bit for bit, so that -0 differs from 0.
bool Same(const db::Value& a, const db::Value& b) {
  if (a.index() != b.index()) return false;
  if (const auto* x = std::get_if<float>(&a)) return SameBits(*x, std::get<float>(b));
  if (const auto* x = std::get_if<double>(&a)) return SameBits(*x, std::get<double>(b));
  if (const auto* x = std::get_if<db::DateTime>(&a)) {
    return SameBits(x->days, std::get<db::DateTime>(b).days);
  }
  return a == b;
}

std::string Shown(const db::Value& value) {
  std::ostringstream out;
  out.precision(17);
  std::visit(
      [&out](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          out << "Null";
        } else if constexpr (std::is_same_v<T, db::Currency>) {
          out << "Currency " << v.ten_thousandths;
        } else if constexpr (std::is_same_v<T, db::DateTime>) {
          out << "DateTime " << v.days;
        } else if constexpr (std::is_same_v<T, std::string>) {
          out << "\""
              << (v.size() > 60 ? v.substr(0, 60) + "...(" + std::to_string(v.size()) + ")" : v)
              << "\"";
        } else if constexpr (std::is_same_v<T, uint8_t>) {
          out << "Byte " << static_cast<int>(v);
        } else {
          out << v;
        }
      },
      value);
  return out.str();
}

int LibmdbType(ColumnType type) {
  static constexpr int kCodes[] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 12};
  return kCodes[static_cast<int>(type)];
}

int StoredSize(const Column& column) {
  static constexpr int kSizes[] = {0, 1, 2, 4, 8, 4, 8, 8, -1, 0};
  return column.type == ColumnType::kText ? 2 * column.text_length
                                          : kSizes[static_cast<int>(column.type)];
}

const char* MdbReaderType(ColumnType type) {
  static constexpr const char* kNames[] = {"boolean", "byte",   "integer",  "long", "currency",
                                           "float",   "double", "datetime", "text", "memo"};
  return kNames[static_cast<int>(type)];
}

// Checks the rows a reader gave (`got[row][column]`) against the rows written and reports the
// first ten values that differ; `differs` gives what the reader read instead, or nothing when the
// value is the one written.
template <typename Rows, typename Differs>
void ExpectRowsRead(const std::vector<Row>& expected, const Rows& got, const Table& table,
                    Differs differs) {
  ASSERT_EQ(got.size(), expected.size()) << table.name;
  int reported = 0;
  for (size_t r = 0; r < expected.size() && reported < 10; ++r) {
    for (size_t c = 0; c < table.columns.size(); ++c) {
      if (const std::optional<std::string> read = differs(expected[r][c], got[r][c])) {
        ADD_FAILURE() << table.name << " row " << r + 1 << " column " << table.columns[c].name
                      << ": expected " << Shown(expected[r][c]) << ", read " << *read;
        ++reported;
      }
    }
  }
}

void ExpectSameRows(const std::vector<Row>& expected, const std::vector<Row>& got,
                    const Table& table) {
  ExpectRowsRead(expected, got, table,
                 [](const db::Value& written, const db::Value& read) -> std::optional<std::string> {
                   if (Same(read, written)) return std::nullopt;
                   return Shown(read);
                 });
}

// ---- the round-trip database, written once ----------------------------------------------------

class RoundTrip : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    file_ = *dir_ / "roundtrip.mdb";
    WriteDatabase(file_, roundtrip::RoundTripTables());
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  static TempDir* dir_;
  static fs::path file_;
};
TempDir* RoundTrip::dir_ = nullptr;
fs::path RoundTrip::file_;

TEST_F(RoundTrip, FileLooksLikeAnAccess2000Database) {
  const std::string bytes = ReadFile(file_);
  ASSERT_GE(bytes.size(), 4 * 4096u);
  EXPECT_EQ(bytes.size() % 4096, 0u);
  EXPECT_EQ(bytes.substr(4, 15), "Standard Jet DB");
  EXPECT_EQ(bytes[0x14], 1) << "Jet 4";
  EXPECT_EQ(bytes[0], 0) << "page 0 is the database definition";
  EXPECT_EQ(bytes[2 * 4096], 2) << "page 2 holds the catalog's definition";
}

TEST_F(RoundTrip, LibmdbListsTheTablesInOrder) {
  std::vector<std::string> expected;
  for (const Table& table : roundtrip::RoundTripTables()) expected.push_back(table.name);
  EXPECT_EQ(LibmdbUserTables(file_), expected);
}

TEST_F(RoundTrip, LibmdbReadsEveryValueBackExactly) {
  for (const Table& table : roundtrip::RoundTripTables()) {
    SCOPED_TRACE(table.name);
    const LibmdbTable read = ReadWithLibmdb(file_, table.name);
    const std::vector<Row> expected = roundtrip::RowsOf(table);
    EXPECT_EQ(read.stored_row_count, expected.size());
    ASSERT_EQ(read.columns.size(), table.columns.size());
    for (size_t c = 0; c < table.columns.size(); ++c) {
      EXPECT_EQ(read.columns[c].name, table.columns[c].name);
      EXPECT_EQ(read.columns[c].type, LibmdbType(table.columns[c].type)) << table.columns[c].name;
      EXPECT_EQ(read.columns[c].size, StoredSize(table.columns[c])) << table.columns[c].name;
    }
    ExpectSameRows(expected, read.rows, table);
  }
}

// ---- mdb-reader -------------------------------------------------------------------------------

const fs::path kMdbReaderDir = MDB_READER_DIR;

// The table as mdb-reader reads it (tests/mdb-reader/dump.js).
json DumpWithMdbReader(const fs::path& file, const std::string& table,
                       const std::string& columns = "") {
  if (!fs::exists(kMdbReaderDir / "node_modules" / "mdb-reader" / "package.json")) {
    throw std::runtime_error("mdb-reader is not installed: run npm install --prefix " +
                             kMdbReaderDir.string());
  }
  // Appended piece by piece, as in CurrencyText and Refusals: GCC 12 takes "x" + std::string(...)
  // for an overlapping copy (-Wrestrict) when it inlines it at -O3.
  std::string command = "node";
  for (const std::string& argument : {(kMdbReaderDir / "dump.js").string(), file.string(), table}) {
    command += ' ';
    command += Quoted(argument);
  }
  if (!columns.empty()) {
    command += ' ';
    command += Quoted(columns);
  }
  const CommandResult result = RunCommand(command);
  if (result.status != 0) {
    throw std::runtime_error("node dump.js failed (status " + std::to_string(result.status) + ")");
  }
  return json::parse(result.out);
}

// How mdb-reader gives a Currency: digits, a point and four decimals.
std::string CurrencyText(int64_t ten_thousandths) {
  const bool negative = ten_thousandths < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(ten_thousandths)
                                      : static_cast<uint64_t>(ten_thousandths);
  char decimals[8];
  std::snprintf(decimals, sizeof decimals, "%04u", static_cast<unsigned>(magnitude % 10000));
  std::string text = negative ? "-" : "";
  text += std::to_string(magnitude / 10000);
  text += '.';
  text += decimals;
  return text;
}

// The milliseconds since 1970 mdb-reader computes for a Date/Time, rounded as Math.round rounds.
std::string MdbReaderMilliseconds(double days) {
  const double milliseconds = (days - 25569) * 86400 * 1000;
  double rounded = std::floor(milliseconds);
  if (milliseconds - rounded >= 0.5) rounded += 1;
  return std::to_string(static_cast<int64_t>(rounded));
}

bool MdbReaderNumberIs(const json& got, double expected) {
  return got.is_string() &&
         SameBits(std::strtod(got.get<std::string>().c_str(), nullptr), expected);
}

bool MdbReaderGives(const db::Value& expected, const json& got) {
  return std::visit(
      [&got](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return got.is_null();
        } else if constexpr (std::is_same_v<T, bool>) {
          return got.is_boolean() && got.get<bool>() == v;
        } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
          return MdbReaderNumberIs(got, static_cast<double>(v));
        } else if constexpr (std::is_same_v<T, db::Currency>) {
          return got == CurrencyText(v.ten_thousandths);
        } else if constexpr (std::is_same_v<T, db::DateTime>) {
          return got == MdbReaderMilliseconds(v.days);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return got == v;
        } else {
          return got == std::to_string(v);
        }
      },
      expected);
}

// The "rows" of a dump.js output against the rows written.
void ExpectMdbReaderRows(const std::vector<Row>& expected, const json& rows, const Table& table) {
  ExpectRowsRead(expected, rows, table,
                 [](const db::Value& written, const json& read) -> std::optional<std::string> {
                   if (MdbReaderGives(written, read)) return std::nullopt;
                   return "by mdb-reader " + read.dump();
                 });
}

TEST_F(RoundTrip, MdbReaderReadsEveryValueBack) {
  std::vector<std::string> names;
  for (const Table& table : roundtrip::RoundTripTables()) names.push_back(table.name);
  for (const Table& table : roundtrip::RoundTripTables()) {
    SCOPED_TRACE(table.name);
    const json read = DumpWithMdbReader(file_, table.name);
    const std::vector<Row> expected = roundtrip::RowsOf(table);
    EXPECT_EQ(read["tables"], json(names));
    EXPECT_EQ(read["rowCount"], expected.size());
    ASSERT_EQ(read["columns"].size(), table.columns.size());
    for (size_t c = 0; c < table.columns.size(); ++c) {
      const json& column = read["columns"][c];
      EXPECT_EQ(column["name"], table.columns[c].name);
      EXPECT_EQ(column["type"], MdbReaderType(table.columns[c].type));
      EXPECT_EQ(column["size"], StoredSize(table.columns[c]));
    }
    ExpectMdbReaderRows(expected, read["rows"], table);
  }
}

// ---- Debian's mdbtools commands ---------------------------------------------------------------

TEST_F(RoundTrip, MdbtoolsCommandsAcceptTheFile) {
  const std::string file = Quoted(file_.string());
  const CommandResult tables = RunCommand("mdb-tables -1 " + file);
  ASSERT_EQ(tables.status, 0);
  std::string expected_tables;
  for (const Table& table : roundtrip::RoundTripTables()) expected_tables += table.name + "\n";
  EXPECT_EQ(tables.out, expected_tables);

  const CommandResult schema = RunCommand("mdb-schema " + file);
  ASSERT_EQ(schema.status, 0);
  for (const Table& table : roundtrip::RoundTripTables()) {
    EXPECT_NE(schema.out.find("CREATE TABLE [" + table.name + "]"), std::string::npos)
        << table.name;
  }
  EXPECT_NE(schema.out.find("[codute]\t\t\tLong Integer"), std::string::npos);
  EXPECT_NE(schema.out.find("[database]\t\t\tText (255)"), std::string::npos);
  EXPECT_NE(schema.out.find("[sino]\t\t\tBoolean NOT NULL"), std::string::npos);
  EXPECT_NE(schema.out.find("[valuta]\t\t\tCurrency"), std::string::npos);

  const CommandResult societa = RunCommand("mdb-export " + file + " società");
  ASSERT_EQ(societa.status, 0);
  EXPECT_EQ(societa.out,
            "codute,database\n1,\"C:\\ORBIS\\DATI.MDB\"\n2,\"C:\\ORBIS\\ARCHIVIO.MDB\"\n");

  const CommandResult many = RunCommand("mdb-export " + file + " molte_righe");
  ASSERT_EQ(many.status, 0);
  EXPECT_EQ(std::count(many.out.begin(), many.out.end(), '\n'), 70001);
  EXPECT_NE(many.out.find("\n69999,\"Articolo n° 69999 — descrizione di prova\","),
            std::string::npos);

  const CommandResult types = RunCommand("mdb-export -d ';' " + file + " tipi");
  ASSERT_EQ(types.status, 0);
  EXPECT_NE(types.out.find("1;7;-12;123456;1.3500;1.5;0.1;"), std::string::npos) << types.out;
}

TEST(WriteDatabase, SameTablesGiveSameBytes) {
  TempDir dir;
  const std::vector<Table> tables = {roundtrip::AllTypes(), roundtrip::Memos(),
                                     roundtrip::ManyRows(3000)};
  WriteDatabase(dir / "a.mdb", tables);
  WriteDatabase(dir / "b.mdb", tables);
  EXPECT_TRUE(ReadFile(dir / "a.mdb") == ReadFile(dir / "b.mdb"));
}

TEST(WriteDatabase, ReplacesAnExistingFile) {
  TempDir dir;
  std::ofstream(dir / "old.mdb") << std::string(100000, 'x');
  WriteDatabase(dir / "old.mdb", {roundtrip::Societa()});
  EXPECT_EQ(ReadWithLibmdb(dir / "old.mdb", "società").rows.size(), 2u);
  EXPECT_EQ(fs::file_size(dir / "old.mdb") % 4096, 0u);
}

// A table whose pages run past page 32,736, where the second bitmap page of a reference usage map
// takes over: 34,000 rows, each with a Memo that fills a long-value page of its own (139 MB).
TEST(WriteDatabase, TableReachingPastTheFirstBitmapPage) {
  TempDir dir;
  constexpr int32_t kRows = 34000;
  auto memo_of = [](int32_t n) {
    std::string memo(2040, static_cast<char>('a' + n % 26));
    memo.replace(0, std::to_string(n).size(), std::to_string(n));
    return memo;
  };
  Table far{"lontana", {{"n", ColumnType::kLong}, {"nota", ColumnType::kMemo}}, {}, {}};
  far.generate = [n = int32_t{0}, &memo_of](std::vector<db::Value>& row) mutable {
    if (n == kRows) return false;
    row = {n, memo_of(n)};
    ++n;
    return true;
  };
  WriteDatabase(dir / "far.mdb", {roundtrip::Societa(), far, roundtrip::Greek()});
  ASSERT_GT(fs::file_size(dir / "far.mdb"), 32736u * 4096u);

  const LibmdbTable read = ReadWithLibmdb(dir / "far.mdb", "lontana");
  EXPECT_EQ(read.stored_row_count, static_cast<uint32_t>(kRows));
  ASSERT_EQ(read.rows.size(), static_cast<size_t>(kRows));
  int mismatches = 0;
  for (int32_t n = 0; n < kRows; ++n) {
    if (!Same(read.rows[n][0], db::Value(n)) || !Same(read.rows[n][1], db::Value(memo_of(n)))) {
      ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(ReadWithLibmdb(dir / "far.mdb", "Ελληνικά").rows.size(), 2u);

  const json dumped = DumpWithMdbReader(dir / "far.mdb", "lontana", "n");
  EXPECT_EQ(dumped["rowCount"], kRows);
  ASSERT_EQ(dumped["rows"].size(), static_cast<size_t>(kRows));
  for (int32_t n = 0; n < kRows; n += 997) EXPECT_EQ(dumped["rows"][n][0], std::to_string(n));
  EXPECT_EQ(dumped["rows"][kRows - 1][0], std::to_string(kRows - 1));
}

// Rows and catalog rows moved as Access moves edited rows: each row keeps its place as a pointer
// and its data lies on a later page. libmdb and mdb-reader both skip the pointers and read the data
// where it lies, so they see every row once, the moved ones after the rest of their page.
TEST(WriteDatabase, MovedRowsAndMovedCatalogRows) {
  TempDir dir;
  Table letters{"lettere", {{"n", ColumnType::kLong}, {"s", ColumnType::kText, 20}}, {}, {}};
  for (int32_t n = 1; n <= 7; ++n)
    letters.rows.push_back({n, std::string(1, static_cast<char>('a' + n - 1))});
  letters.moved_rows = {3, 5, 5};
  letters.catalog_row_moved = true;
  std::vector<Table> tables = {letters};
  for (int i = 0; i < 40; ++i) {
    // Not "t" + std::to_string(i): GCC 12 takes that for an overlapping copy (-Wrestrict).
    tables.push_back(
        {std::string("t") + std::to_string(i), {{"n", ColumnType::kLong}}, {{int32_t{i}}}, {}});
    tables.back().catalog_row_moved = i % 3 == 0;
  }
  WriteDatabase(dir / "moved.mdb", tables);

  const std::vector<std::string> names = LibmdbUserTables(dir / "moved.mdb");
  ASSERT_EQ(names.size(), tables.size());
  const LibmdbTable read = ReadWithLibmdb(dir / "moved.mdb", "lettere");
  EXPECT_EQ(read.stored_row_count, 7u);
  std::vector<int32_t> order;
  for (const auto& row : read.rows) order.push_back(std::get<int32_t>(row[0]));
  EXPECT_EQ(order, (std::vector<int32_t>{1, 2, 4, 6, 7, 3, 5}));
  EXPECT_EQ(ReadWithLibmdb(dir / "moved.mdb", "t39").rows.size(), 1u);

  const json dumped = DumpWithMdbReader(dir / "moved.mdb", "lettere");
  EXPECT_EQ(dumped["tables"].size(), tables.size());
  std::vector<std::string> letters_read;
  for (const json& row : dumped["rows"]) letters_read.push_back(row[1]);
  EXPECT_EQ(letters_read, (std::vector<std::string>{"a", "b", "d", "f", "g", "c", "e"}));
  EXPECT_EQ(DumpWithMdbReader(dir / "moved.mdb", "t39")["rows"].size(), 1u);

  // The page of the rows: two pointers of 4 bytes, and each move elsewhere.
  const std::string file = ReadFile(dir / "moved.mdb");
  std::vector<size_t> pointers, data, both;
  for (size_t page = 3; page < file.size() / 4096; ++page) {
    const char* bytes = file.data() + page * 4096;
    if (bytes[0] != 0x01) continue;
    const size_t rows = static_cast<uint8_t>(bytes[12]);
    for (size_t r = 0; r < rows; ++r) {
      const auto flags = static_cast<uint8_t>(bytes[15 + 2 * r]) & 0xC0;
      if (flags == 0x40) pointers.push_back(page);
      if (flags == 0x80) data.push_back(page);
      if (flags == 0xC0) both.push_back(page);
    }
  }
  // The moved catalog rows (15 of them), lettere's two moved rows, and the middle of a chain.
  EXPECT_EQ(pointers.size(), 17u);
  EXPECT_EQ(data.size(), 17u);
  EXPECT_EQ(both.size(), 1u);

  letters.moved_rows = {8};
  EXPECT_THROW(WriteDatabase(dir / "none.mdb", {letters}), std::runtime_error);
}

// ---- stored row counts ------------------------------------------------------------------------

// A count given leaves every byte as it was but the four of the count in the definition's header
// (offset 16 of a definition page): given as it is anyway, the file does not change at all.
TEST(WriteDatabase, StoredRowCountsChangeTheCountsAndNothingElse) {
  TempDir dir;
  std::vector<Table> tables = {roundtrip::AllTypes(), roundtrip::Memos(), roundtrip::Societa()};
  WriteDatabase(dir / "plain.mdb", tables);
  const std::string plain = ReadFile(dir / "plain.mdb");
  tables[1].stored_rows = 40;
  WriteDatabase(dir / "same.mdb", tables, 5);
  EXPECT_TRUE(ReadFile(dir / "same.mdb") == plain);

  tables[0].stored_rows = 0;
  tables[1].stored_rows = UINT32_MAX;
  WriteDatabase(dir / "counts.mdb", tables, 4);
  const std::string counts = ReadFile(dir / "counts.mdb");
  ASSERT_EQ(counts.size(), plain.size());
  std::vector<size_t> changed_pages;
  for (size_t at = 0; at < plain.size(); ++at) {
    if (plain[at] == counts[at]) continue;
    const size_t page = at / 4096;
    EXPECT_TRUE(counts[page * 4096] == 0x02 && at % 4096 >= 16 && at % 4096 < 20)
        << "byte " << at % 4096 << " of page " << page;
    if (changed_pages.empty() || changed_pages.back() != page) changed_pages.push_back(page);
  }
  ASSERT_EQ(changed_pages.size(), 3u) << "the catalog's, tipi's and note's definitions";
  EXPECT_EQ(changed_pages.front(), 2u);
}

// Counts as Access leaves them (one lower than the rows after it moved a row: here a table's last
// two rows, one of them twice, and its catalog row), none, and higher ones as a damaged file has
// them. Both readers report the counts given and still read every row of the tables and the
// catalog. The rows moved are the last ones, so readers that read a moved row where its data lies
// still give the rows in their order.
TEST(WriteDatabase, StoredRowCountsReadBackAsGivenAndEveryRowStillReads) {
  TempDir dir;
  const fs::path file = dir / "counts.mdb";
  Table moved = roundtrip::AllTypes();
  const auto rows = static_cast<uint32_t>(moved.rows.size());
  moved.moved_rows = {rows - 1, rows, rows};
  moved.catalog_row_moved = true;
  const struct {
    const char* what;
    uint32_t table, societa, catalog;
  } kCounts[] = {{"as Access leaves them", rows - 1, 2, 3},
                 {"none", 0, 0, 0},
                 {"higher", rows + 1, UINT32_MAX, UINT32_MAX}};
  for (const auto& counts : kCounts) {
    SCOPED_TRACE(counts.what);
    moved.stored_rows = counts.table;
    Table societa = roundtrip::Societa();
    societa.stored_rows = counts.societa;
    const std::vector<Table> tables = {societa, moved};
    WriteDatabase(file, tables, counts.catalog);

    for (const Table& table : tables) {
      const LibmdbTable read = ReadWithLibmdb(file, table.name);
      EXPECT_EQ(read.stored_row_count, *table.stored_rows) << table.name;
      ExpectSameRows(table.rows, read.rows, table);
      const json dumped = DumpWithMdbReader(file, table.name);
      EXPECT_EQ(dumped["rowCount"], *table.stored_rows) << table.name;
      ExpectMdbReaderRows(table.rows, dumped["rows"], table);
    }
    const std::vector<std::string> names = {societa.name, moved.name};
    EXPECT_EQ(LibmdbUserTables(file), names);
    const LibmdbTable catalog = ReadWithLibmdb(file, "MSysObjects");
    EXPECT_EQ(catalog.stored_row_count, counts.catalog);
    EXPECT_EQ(catalog.rows.size(), 4u);
    const json dumped = DumpWithMdbReader(file, "MSysObjects", "Name");
    EXPECT_EQ(dumped["rowCount"], counts.catalog);
    EXPECT_EQ(dumped["tables"], json(names));
    EXPECT_EQ(dumped["rows"].size(), 4u);
  }
}

// ---- what the writer refuses ------------------------------------------------------------------

struct Refusal {
  const char* what;
  Table table;
  const char* message;
};

Table OneColumn(ColumnType type, db::Value value, int text_length = 255) {
  return Table{"t", {{"c", type, text_length}}, {Row{std::move(value)}}, {}};
}

std::vector<Refusal> Refusals() {
  Table too_large{"t", {}, {Row{}}, {}};
  for (int i = 0; i < 9; ++i) {
    std::string name = "c";
    name += std::to_string(i);
    too_large.columns.push_back({name, ColumnType::kText, 255});
    too_large.rows[0].push_back(std::string(255, 'x'));
  }
  Table long_name = OneColumn(ColumnType::kLong, int32_t{1});
  long_name.name = std::string(65, 'n');
  return {
      {"Null in Yes/No", OneColumn(ColumnType::kBoolean, db::Value{}), "Null in a Yes/No column"},
      {"text in Long", OneColumn(ColumnType::kLong, std::string("1")),
       "a Text value does not fit a Long column"},
      {"Long in Yes/No", OneColumn(ColumnType::kBoolean, int32_t{1}),
       "a Long value does not fit a Yes/No column"},
      {"Double in Currency", OneColumn(ColumnType::kCurrency, 1.35),
       "a Double value does not fit a Currency column"},
      {"number in Date/Time", OneColumn(ColumnType::kDateTime, 36526.0),
       "a Double value does not fit a Date/Time column"},
      {"number in Text", OneColumn(ColumnType::kText, int32_t{5}),
       "a Long value does not fit a Text column"},
      {"Byte above 255", OneColumn(ColumnType::kByte, int32_t{256}),
       "256 is out of range for a Byte column"},
      {"Integer below its range", OneColumn(ColumnType::kInteger, int32_t{-32769}),
       "-32769 is out of range for an Integer column"},
      {"Double without an exact Single", OneColumn(ColumnType::kSingle, 0.1),
       "has no exact Single form"},
      {"text too long", OneColumn(ColumnType::kText, std::string("abcdef"), 5),
       "a text of 6 characters is longer than the column's 5"},
      {"character outside the BMP", OneColumn(ColumnType::kText, std::string("\xF0\x9F\x98\x80")),
       "U+1F600 is outside the Basic Multilingual Plane"},
      {"invalid UTF-8", OneColumn(ColumnType::kMemo, std::string("a\xC3")), "invalid UTF-8"},
      {"U+FEFF then U+0100", OneColumn(ColumnType::kText, std::string("\xEF\xBB\xBF\xC4\x80")),
       "cannot hold character U+0100"},
      {"row too large", too_large, "more than a page holds"},
      {"row too short",
       Table{"t", {{"a", ColumnType::kLong}, {"b", ColumnType::kLong}}, {Row{int32_t{1}}}, {}},
       "the row has 1 values for 2 columns"},
      {"Text length 0", OneColumn(ColumnType::kText, db::Value{}, 0),
       "a Text column holds 1 to 255 characters, not 0"},
      {"Text length 256", OneColumn(ColumnType::kText, db::Value{}, 256),
       "a Text column holds 1 to 255 characters, not 256"},
      {"no columns", Table{"t", {}, {}, {}}, "must have 1 to 255 columns"},
      {"same column twice",
       Table{"t", {{"Prezzo", ColumnType::kLong}, {"prezzo", ColumnType::kLong}}, {}, {}},
       "column \"prezzo\" appears twice"},
      {"catalog's name", Table{"msysobjects", {{"c", ColumnType::kLong}}, {}, {}},
       "the name is already taken"},
      {"same table twice", Table{"SOCIETà", {{"c", ColumnType::kLong}}, {}, {}},
       "the name is already taken"},
      {"empty column name", Table{"t", {{"", ColumnType::kLong}}, {}, {}}, "has an empty name"},
      {"name too long", long_name, "a name has at most 64 characters"},
  };
}

TEST(WriteDatabase, RefusesWhatDoesNotFitAndLeavesTheFileAsItWas) {
  TempDir dir;
  const fs::path file = dir / "refused.mdb";
  std::ofstream(file) << "previous content";
  for (const Refusal& refusal : Refusals()) {
    SCOPED_TRACE(refusal.what);
    try {
      WriteDatabase(file, {roundtrip::Societa(), refusal.table});
      ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(refusal.message), std::string::npos) << error.what();
    }
  }
  EXPECT_EQ(ReadFile(file), "previous content");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / ""), fs::directory_iterator()), 1)
      << "no partial file left";
}

TEST(WriteDatabase, NamesTheTableRowAndColumnOfABadValue) {
  TempDir dir;
  Table table = roundtrip::ManyRows(100);
  auto generate = table.generate;
  table.generate = [generate, n = 0](std::vector<db::Value>& row) mutable {
    if (!generate(row)) return false;
    if (++n == 42) row[3] = db::Value{};
    return true;
  };
  try {
    WriteDatabase(dir / "bad.mdb", {table});
    FAIL() << "accepted";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(),
                 "table \"molte_righe\", row 42: column \"attivo\": Null in a Yes/No column");
  }
}

TEST(WriteDatabase, AcceptsWiderIntegerAndFloatingAlternativesThatFit) {
  TempDir dir;
  Table table{"t",
              {{"b", ColumnType::kByte},
               {"i", ColumnType::kInteger},
               {"s", ColumnType::kSingle},
               {"d", ColumnType::kDouble},
               {"c", ColumnType::kCurrency}},
              {Row{int32_t{200}, uint8_t{255}, 0.5, 1.5f, int32_t{-3}},
               Row{int16_t{0}, int32_t{-32768}, int16_t{-7}, int32_t{2147483647}, uint8_t{9}}},
              {}};
  WriteDatabase(dir / "wide.mdb", {table});
  const LibmdbTable read = ReadWithLibmdb(dir / "wide.mdb", "t");
  const std::vector<Row> expected = {
      Row{uint8_t{200}, int16_t{255}, 0.5f, 1.5, db::Currency{-30000}},
      Row{uint8_t{0}, int16_t{-32768}, -7.0f, 2147483647.0, db::Currency{90000}}};
  ExpectSameRows(expected, read.rows, table);
}

// ---- mdb-write --------------------------------------------------------------------------------

TEST(MdbWrite, WritesTheDescribedDatabase) {
  TempDir dir;
  std::ofstream(dir / "db.json") << R"({"tables": [
    {"name": "società",
     "columns": [{"name": "codute", "type": "Long"},
                 {"name": "database", "type": "Text", "size": 255},
                 {"name": "prezzo", "type": "Currency"},
                 {"name": "quando", "type": "Date/Time"},
                 {"name": "attivo", "type": "Yes/No"},
                 {"name": "peso", "type": "Single"}],
     "rows": [[1, "C:\\ORBIS\\DATI.MDB", "1.35", "2000-01-01 12:00:00", true, "0.1"],
              [null, "", null, 36526.25, false, -0.0]]},
    {"name": "vuota", "columns": [{"name": "x", "type": "memo"}], "stored_rows": 1}],
    "catalog_stored_rows": 3})";
  const CommandResult result =
      RunCommand(std::string(MDB_WRITE_PATH) + " " + Quoted((dir / "out.mdb").string()) + " " +
                 Quoted((dir / "db.json").string()));
  ASSERT_EQ(result.status, 0);
  const LibmdbTable read = ReadWithLibmdb(dir / "out.mdb", "società");
  const std::vector<Row> expected = {
      Row{int32_t{1}, std::string("C:\\ORBIS\\DATI.MDB"), db::Currency{13500},
          db::DateTime{36526.5}, true, 0.1f},
      Row{db::Value{}, std::string(), db::Value{}, db::DateTime{36526.25}, false, -0.0f}};
  ExpectSameRows(expected, read.rows, Table{"società", {{}, {}, {}, {}, {}, {}}, {}, {}});
  EXPECT_EQ(LibmdbUserTables(dir / "out.mdb"), (std::vector<std::string>{"società", "vuota"}));
  EXPECT_EQ(read.stored_row_count, 2u);
  EXPECT_EQ(ReadWithLibmdb(dir / "out.mdb", "vuota").stored_row_count, 1u);
  EXPECT_EQ(ReadWithLibmdb(dir / "out.mdb", "MSysObjects").stored_row_count, 3u);
}

TEST(MdbWrite, ReportsAWrongDescriptionAndWritesNothing) {
  TempDir dir;
  std::ofstream(dir / "db.json")
      << R"({"tables": [{"name": "t", "columns": [{"name": "c", "type": "Yes/No"}], "rows": [[null]]}]})";
  const std::string out = Quoted((dir / "out.mdb").string());
  const CommandResult result = RunCommand(std::string(MDB_WRITE_PATH) + " " + out + " " +
                                          Quoted((dir / "db.json").string()) + " 2>&1");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "mdb-write: table \"t\", row 1: column \"c\": Null in a Yes/No column\n");
  EXPECT_FALSE(fs::exists(dir / "out.mdb"));
  EXPECT_EQ(RunCommand(std::string(MDB_WRITE_PATH) + " " + out + " 2>/dev/null").status, 2);
}

}  // namespace
}  // namespace catpub::mdbwriter
