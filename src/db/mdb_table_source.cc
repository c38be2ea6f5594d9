#include "db/mdb_table_source.h"

#include <filesystem>
#include <mutex>
#include <optional>

#include "db/database_file.h"
#include "db/jet_page.h"
#include "db/reader_protocol.h"
#include "db/row_codec.h"
#include "db/row_count.h"
#include "db/row_stream.h"
#include "platform/child_process.h"
#include "platform/fatal_error.h"
#include "platform/this_process.h"
#include "platform/utf8_path.h"

namespace catpub::db {
namespace {

using Outcome = RowStream::Outcome;
using platform::ChildProcess;

// The readings of one table count their rows together: a whole table is one part.
class PartsTally {
 public:
  struct Total {
    uint64_t rows = 0;
    int64_t deleted_rows = 0;
  };
  explicit PartsTally(size_t parts = 1) : parts_left_(parts) {}
  // Adds what a part that has ended read; for the last one, the total of all parts.
  std::optional<Total> Ended(uint64_t rows, int64_t deleted_rows) {
    std::lock_guard lock(mutex_);
    total_.rows += rows;
    total_.deleted_rows += deleted_rows;
    if (--parts_left_ > 0) return std::nullopt;
    return total_;
  }

 private:
  std::mutex mutex_;
  size_t parts_left_;
  Total total_;
};

// A table streamed by one reader process. The process ends with the cursor: when the table was read
// to its end it has exited by itself; otherwise it is killed. It is always reaped.
class MdbRowCursor : public RowCursor, private ByteSource {
 public:
  // `tally` is shared with the other parts of the table. `file` is the database file the reader
  // maps.
  MdbRowCursor(const std::vector<std::string>& argv, const ReaderOptions& options,
               const std::filesystem::path& file, std::string database, std::string table,
               std::shared_ptr<PartsTally> tally = std::make_shared<PartsTally>())
      : database_(std::move(database)),
        table_(std::move(table)),
        tally_(std::move(tally)),
        file_(file),
        size_at_start_(std::filesystem::file_size(file, size_error_)),
        most_rows_(size_error_ ? UINT64_MAX : size_at_start_ / kJetPageSize * kMostRowsOnPage),
        child_(argv, options.idle_limit, options.clock),
        stream_(*this) {
    Outcome outcome = stream_.Start();
    if (outcome != Outcome::kRow) Fail(outcome);
  }

  const std::vector<std::string>& Columns() const override { return stream_.header().columns; }

  bool Next(std::vector<Value>& row) override {
    std::string_view encoded;
    if (!NextRow(encoded)) return false;
    row.resize(stream_.header().columns.size());
    DecodeRow(encoded, 0, row);
    return true;
  }

  bool NextEncoded(std::string&, std::string_view& encoded) override { return NextRow(encoded); }
  uint64_t RowsStored() const override { return stream_.header().rows_stored; }

 private:
  bool ReadFull(char* buffer, size_t size) override {
    return child_.ReadFull(buffer, size) == ChildProcess::ReadStatus::kData;
  }

  // Here alone the rows are held to the count the table stores, which is advice (db/row_count.h):
  // once every part has ended, the rows and the deleted rows must make up for it. No part may bring
  // more rows than the pages of the file can hold, which ends a reader that would yield rows
  // without end.
  bool NextRow(std::string_view& encoded) {
    Outcome outcome = stream_.NextRow(encoded);
    if (outcome == Outcome::kRow) {
      if (stream_.rows_received() <= most_rows_) return true;
      child_.Kill();
      throw Damaged(MoreRowsThanPagesHold(table_, size_at_start_ / kJetPageSize));
    }
    if (outcome != Outcome::kEnd) Fail(outcome);
    ChildProcess::Ending ending = child_.Finish();
    if (!ending.clean) throw Ended(ending);
    const uint64_t stored = stream_.header().rows_stored;
    std::optional<PartsTally::Total> total =
        tally_->Ended(stream_.rows_received(), stream_.deleted_rows());
    if (total && RowsLost(stored, total->rows, total->deleted_rows)) {
      throw Damaged(RowCountMismatch(table_, stored, total->rows, total->deleted_rows));
    }
    return false;
  }

  [[noreturn]] void Fail(Outcome outcome) {
    switch (outcome) {
      case Outcome::kNotFound:
        child_.Finish();
        throw FatalError("la tabella " + table_ + " non esiste in " + database_);
      case Outcome::kDamaged:
        child_.Finish();
        throw Damaged(stream_.problem() + Said());
      case Outcome::kMalformed:
        child_.Kill();
        throw Damaged(stream_.problem() + Said());
      default:
        throw Ended(child_.Finish());
    }
  }

  // The reader's unclean end. A mapped file that gets shorter kills it with SIGBUS at the first
  // page past the new end.
  FatalError Ended(const ChildProcess::Ending& ending) const {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(file_, error);
    if (ending.mapped_file_fault && !size_error_ && !error && size < size_at_start_) {
      return Damaged("il file si è accorciato (da " + std::to_string(size_at_start_) + " a " +
                     std::to_string(size) + " byte) mentre il lettore lo leggeva");
    }
    return Damaged("il lettore è " + ending.description + Said());
  }

  FatalError Damaged(const std::string& detail) const {
    return FatalError("database danneggiato o illeggibile: " + database_ + ", tabella " + table_ +
                      ": " + detail);
  }

  // What the reader wrote on its standard error, if anything.
  std::string Said() const {
    std::string errors = child_.ErrorOutput();
    return errors.empty() ? "" : " (messaggi del lettore: " + errors + ")";
  }

  std::string database_;
  std::string table_;
  std::shared_ptr<PartsTally> tally_;
  std::filesystem::path file_;
  std::error_code size_error_;
  uintmax_t size_at_start_;
  uint64_t most_rows_;  // what the file's pages can hold
  ChildProcess child_;
  RowStream stream_;
};

}  // namespace

std::filesystem::path ReaderOfProgram() {
  const std::filesystem::path folder = platform::ProgramFile().parent_path();
  // CATPUB_READER_FROM_BINDIR is where the install puts the reader, relative to the program's
  // folder.
  // The program's own extension: ".exe" on Windows, none on Linux.
  const std::filesystem::path reader =
      "catalog-publisher-reader" + platform::ProgramFile().extension().string();
  std::filesystem::path installed = folder / CATPUB_READER_FROM_BINDIR / reader;
  std::error_code error;
  if (std::filesystem::is_regular_file(installed, error)) return installed;
  return folder / reader;
}

MdbTableSource::MdbTableSource(platform::FileSystem& files, ReaderOptions options)
    : files_(files), options_(std::move(options)) {
  if (options_.executable.empty()) options_.executable = ReaderOfProgram();
}

std::filesystem::path MdbTableSource::CheckedFile(const std::string& database) const {
  std::filesystem::path local = files_.LocalPath(database);
  CheckAccess2000File(local, database);
  return local;
}

std::vector<std::string> MdbTableSource::ReaderArguments(const std::filesystem::path& file,
                                                         const std::string& table,
                                                         const std::string& part) const {
  std::vector<std::string> argv = {
      platform::Utf8Text(options_.executable),
      std::string(wire::kMemoryLimitFlag) + std::to_string(options_.memory_limit_mb)};
  if (!part.empty()) argv.push_back(std::string(wire::kPartFlag) + part);
  argv.push_back(platform::Utf8Text(file));
  argv.push_back(table);
  return argv;
}

std::unique_ptr<RowCursor> MdbTableSource::OpenTable(const std::string& database,
                                                     const std::string& table) {
  const std::filesystem::path local = CheckedFile(database);
  return std::make_unique<MdbRowCursor>(ReaderArguments(local, table), options_, local, database,
                                        table);
}

std::vector<std::unique_ptr<RowCursor>> MdbTableSource::OpenTableParts(const std::string& database,
                                                                       const std::string& table,
                                                                       uint32_t parts) {
  const std::filesystem::path local = CheckedFile(database);
  std::error_code error;
  std::vector<std::unique_ptr<RowCursor>> cursors;
  if (parts < 2 || std::filesystem::file_size(local, error) < options_.parts_from_bytes) {
    cursors.push_back(std::make_unique<MdbRowCursor>(ReaderArguments(local, table), options_, local,
                                                     database, table));
    return cursors;
  }
  auto tally = std::make_shared<PartsTally>(parts);
  for (uint32_t part = 0; part < parts; ++part) {
    cursors.push_back(std::make_unique<MdbRowCursor>(
        ReaderArguments(local, table, std::to_string(part) + "/" + std::to_string(parts)), options_,
        local, database, table, tally));
  }
  return cursors;
}

}  // namespace catpub::db
