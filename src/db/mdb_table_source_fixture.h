// The real table source over files of the project's writer, read through the real reader process:
// the folders of one test and the ways it reads a table.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet_page.h"
#include "db/mdb_table_source.h"
#include "fakes/folder_file_system.h"
#include "mdbwriter/mdb_writer.h"
#include "platform/fatal_error.h"
#include "support/temp_dir.h"

namespace catpub::db {

using Rows = std::vector<std::vector<Value>>;

inline constexpr char kData[] = "C:\\ORBIS\\DATI.MDB";
inline constexpr size_t kPage = kJetPageSize;
// The watchdog's bound in the tests of damaged files, and how much longer a failure may take.
inline constexpr std::chrono::milliseconds kIdleLimit{3000};
inline constexpr std::chrono::milliseconds kSlack{5000};

inline std::string Bytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void Put(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

inline uint32_t U32(const std::string& bytes, size_t at) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

inline void PutU16(std::string& bytes, size_t at, uint16_t value) {
  std::memcpy(&bytes[at], &value, 2);
}
inline void PutU32(std::string& bytes, size_t at, uint32_t value) {
  std::memcpy(&bytes[at], &value, 4);
}

// Pages of the file whose type byte is `type` and, when given, whose owner (bytes 4..7) is `owner`.
inline std::vector<size_t> Pages(const std::string& file, uint8_t type,
                                 std::optional<uint32_t> owner = std::nullopt) {
  std::vector<size_t> pages;
  for (size_t page = 1; (page + 1) * kPage <= file.size(); ++page) {
    if (static_cast<uint8_t>(file[page * kPage]) != type) continue;
    if (owner && U32(file, page * kPage + 4) != *owner) continue;
    pages.push_back(page);
  }
  return pages;
}
// `characters` characters of `pattern` repeated (UTF-8).
inline std::string LongText(size_t characters, std::string_view pattern) {
  std::string text;
  for (size_t i = 0; characters > 0;) {
    text += pattern[i];
    i = (i + 1) % pattern.size();
    if ((static_cast<uint8_t>(pattern[i]) & 0xC0) != 0x80) --characters;  // a character ended
  }
  return text;
}

class MdbTableSourceTest : public ::testing::Test {
 protected:
  MdbTableSourceTest() : temp_("mdbsource-"), root_(temp_.path()), files_(root_) {
    std::filesystem::create_directories(root_ / "c" / "ORBIS");
  }

  std::filesystem::path Local(const std::string& windows_path) {
    return files_.LocalPath(windows_path);
  }
  void Write(const std::vector<mdbwriter::Table>& tables, const std::string& path = kData) {
    mdbwriter::WriteDatabase(Local(path), tables);
  }

  MdbTableSource Source(std::chrono::milliseconds idle = std::chrono::milliseconds(20000),
                        std::filesystem::path executable = CATPUB_READER_EXE,
                        platform::SteadyNow clock = std::chrono::steady_clock::now) {
    ReaderOptions options;
    options.executable = std::move(executable);
    options.idle_limit = idle;
    options.clock = std::move(clock);
    options.parts_from_bytes = 0;  // the test files are small: share them among readers anyway
    return MdbTableSource(files_, options);
  }

  // The rows of every part, part after part; each part read to its end before the next.
  Rows ReadParts(TableSource& source, const std::string& table, uint32_t parts,
                 std::vector<size_t>* sizes = nullptr) {
    Rows rows;
    std::vector<Value> row;
    for (std::unique_ptr<RowCursor>& cursor : source.OpenTableParts(kData, table, parts)) {
      size_t before = rows.size();
      while (cursor->Next(row)) rows.push_back(row);
      if (sizes) sizes->push_back(rows.size() - before);
    }
    return rows;
  }

  Rows ReadAll(TableSource& source, const std::string& table, const std::string& path = kData) {
    std::unique_ptr<RowCursor> cursor = source.OpenTable(path, table);
    Rows rows;
    std::vector<Value> row;
    while (cursor->Next(row)) rows.push_back(row);
    return rows;
  }

  // The FatalError's message reading the whole table, and that it came within the bound.
  std::string Failure(TableSource& source, const std::string& table,
                      std::chrono::milliseconds bound, const std::string& path = kData) {
    auto start = std::chrono::steady_clock::now();
    try {
      ReadAll(source, table, path);
    } catch (const FatalError& e) {
      EXPECT_LT(std::chrono::steady_clock::now() - start, bound) << e.what();
      return e.what();
    }
    ADD_FAILURE() << "no FatalError reading " << table;
    return "";
  }

  testing::TempDir temp_;
  std::filesystem::path root_;
  testing::FolderFileSystem files_;
};

// ---- Values -------------------------------------------------------------------------------

}  // namespace catpub::db
