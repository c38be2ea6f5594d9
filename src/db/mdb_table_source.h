// The real table source: Access 2000 files read by the reader process catalog-publisher-reader,
// which alone runs libmdb. The file is checked here first (db/database_file.h); then each opened
// table is one reader process streaming the table's rows in large binary batches, watched for
// progress, under a memory limit. Whatever the file does to the reader (crash, endless loop,
// exhausted memory, reported damage), this process gets a FatalError, never a signal or a hang.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "db/table_source.h"
#include "platform/file_system.h"
#include "platform/steady_time.h"

namespace catpub::db {

struct ReaderOptions {
  // The reader executable; empty means the reader of this program (ReaderOfProgram).
  std::filesystem::path executable;
  // The reader is killed when it sends nothing for this long while its rows are awaited.
  std::chrono::milliseconds idle_limit{20000};
  // What the idle limit is measured by.
  platform::SteadyNow clock = std::chrono::steady_clock::now;
  // The reader's address space limit.
  uint64_t memory_limit_mb = 1024;
  // A table is shared among several readers (OpenTableParts) only in a file at least this large: a
  // smaller one is read whole sooner than a second reader starts.
  uint64_t parts_from_bytes = uint64_t{16} << 20;
};

class MdbTableSource : public TableSource {
 public:
  // `files` turns the Windows paths of databases into local paths; it must outlive this source.
  explicit MdbTableSource(platform::FileSystem& files, ReaderOptions options = ReaderOptions());

  // Throws FatalError naming the file (Windows path): "il database X non esiste", "X non è un
  // database Access", ..., "la tabella T non esiste in X", or "database danneggiato o illeggibile:
  // X, tabella T: ..." with what the reader reported or how it ended. The cursor's Next throws the
  // last kind too, when the damage shows only later in the table.
  std::unique_ptr<RowCursor> OpenTable(const std::string& database,
                                       const std::string& table) override;
  // Each part is one reader process. Once every part has ended, the rows they read together must be
  // as many as the table stores, or the last cursor to end throws the damage.
  std::vector<std::unique_ptr<RowCursor>> OpenTableParts(const std::string& database,
                                                         const std::string& table,
                                                         uint32_t parts) override;

 private:
  // The local path of `database`, after checking that it is an Access 2000 file.
  std::filesystem::path CheckedFile(const std::string& database) const;
  std::vector<std::string> ReaderArguments(const std::filesystem::path& file,
                                           const std::string& table,
                                           const std::string& part = {}) const;

  platform::FileSystem& files_;
  ReaderOptions options_;
};

// catalog-publisher-reader where the install puts it relative to the running program (by default
// ../libexec/catalog-publisher/ from the program's folder, wherever the whole install was moved),
// or else in the program's own folder, as in the build tree.
std::filesystem::path ReaderOfProgram();

}  // namespace catpub::db
