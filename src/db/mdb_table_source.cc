#include "db/mdb_table_source.h"

#include "db/child_process.h"
#include "db/database_file.h"
#include "db/reader_protocol.h"
#include "db/row_codec.h"
#include "db/row_stream.h"
#include "platform/fatal_error.h"

namespace catpub::db {
namespace {

using reader::RowStream;
using Outcome = RowStream::Outcome;

// A table streamed by one reader process. The process ends with the cursor: when the table was read
// to its end it has exited by itself; otherwise it is killed. It is always reaped.
class MdbRowCursor : public RowCursor, private reader::ByteSource {
 public:
  MdbRowCursor(const std::vector<std::string>& argv, std::chrono::milliseconds idle_limit,
               std::string database, std::string table)
      : database_(std::move(database)),
        table_(std::move(table)),
        child_(argv, idle_limit),
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

  bool NextRow(std::string_view& encoded) {
    Outcome outcome = stream_.NextRow(encoded);
    if (outcome == Outcome::kRow) return true;
    if (outcome != Outcome::kEnd) Fail(outcome);
    ChildProcess::Ending ending = child_.Finish();
    if (!ending.clean) throw Damaged("the reader " + ending.description + Said());
    return false;
  }

  [[noreturn]] void Fail(Outcome outcome) {
    switch (outcome) {
      case Outcome::kNotFound:
        child_.Finish();
        throw FatalError("table " + table_ + " not found in " + database_);
      case Outcome::kDamaged:
        child_.Finish();
        throw Damaged(stream_.problem() + Said());
      case Outcome::kMalformed:
        child_.Kill();
        throw Damaged(stream_.problem() + Said());
      default: {
        ChildProcess::Ending ending = child_.Finish();
        throw Damaged("the reader " + ending.description + Said());
      }
    }
  }

  FatalError Damaged(const std::string& detail) const {
    return FatalError("database damaged or unreadable: " + database_ + ", table " + table_ + ": " +
                      detail);
  }

  // What the reader wrote on its standard error, if anything.
  std::string Said() const {
    std::string errors = child_.ErrorOutput();
    return errors.empty() ? "" : " (it said: " + errors + ")";
  }

  std::string database_;
  std::string table_;
  ChildProcess child_;
  RowStream stream_;
};

}  // namespace

std::filesystem::path ReaderBesideProgram() {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return self.parent_path() / "catalog-publisher-reader";
}

MdbTableSource::MdbTableSource(platform::FileSystem& files, ReaderOptions options)
    : files_(files), options_(std::move(options)) {
  if (options_.executable.empty()) options_.executable = ReaderBesideProgram();
}

std::unique_ptr<RowCursor> MdbTableSource::OpenTable(const std::string& database,
                                                     const std::string& table) {
  std::filesystem::path local = files_.LocalPath(database);
  CheckAccess2000File(local, database);
  std::vector<std::string> argv = {options_.executable.string(),
                                   "--memory-limit-mb=" + std::to_string(options_.memory_limit_mb),
                                   local.string(), table};
  return std::make_unique<MdbRowCursor>(argv, options_.idle_limit, database, table);
}

}  // namespace catpub::db
