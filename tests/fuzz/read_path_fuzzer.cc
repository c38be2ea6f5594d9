// libFuzzer target over the whole database read path, in one process: the file checks, the
// reader's walk of the file through libmdb with every field checked against its page, the frames
// it sends, their parsing by the parent, and the data sources over the rows that arrive. Any crash,
// hang or sanitizer report here is a fault in our code or in a libmdb path the reader should have
// kept away from; damage must only ever show as a FatalError.
//
// Build and run (clang): cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCATPUB_FUZZ=ON
//   cmake --build build-fuzz --target read_path_fuzzer make_fuzz_seeds
//   build-fuzz/tests/fuzz/make_fuzz_seeds seeds
//   build-fuzz/tests/fuzz/read_path_fuzzer -close_fd_mask=2 -timeout=10 corpus seeds
// CTest runs it for CATPUB_FUZZ_SECONDS (60 by default); run it by hand for hours with -jobs=N.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/data_source.h"
#include "db/database_file.h"
#include "db/reader/frame_writer.h"
#include "db/reader/mdb_table_reader.h"
#include "db/row_codec.h"
#include "db/row_stream.h"
#include "fakes/in_memory_tables.h"
#include "platform/fatal_error.h"

namespace catpub {
namespace {

using db::RowStream;

class StringSource : public db::ByteSource {
 public:
  explicit StringSource(std::string_view bytes) : bytes_(bytes) {}
  bool ReadFull(char* buffer, size_t size) override {
    if (bytes_.size() - pos_ < size) return false;
    std::copy_n(bytes_.data() + pos_, size, buffer);
    pos_ += size;
    return true;
  }

 private:
  std::string_view bytes_;
  size_t pos_ = 0;
};

// What the reader process would send for `table` of `file` (or for its `part`).
std::string ReaderOutput(std::string_view file, const char* table,
                         db::reader::TablePart part = {}) {
  std::string sent;
  db::reader::FrameWriter writer([&sent](std::string_view bytes) { sent.append(bytes); });
  try {
    if (db::reader::ReadMdbTableInMemory(file, table, writer, part) ==
        db::reader::TableRead::kNotFound) {
      writer.Fail(db::wire::FailureKind::kTableNotFound, "");
    }
  } catch (const FatalError& e) {
    writer.Fail(db::wire::FailureKind::kDamaged, e.what());
  }
  return sent;
}

// The parent's side: the rows that arrive, decoded, then queried through a data source.
void Receive(const std::string& sent) {
  StringSource source(sent);
  RowStream stream(source);
  if (stream.Start() != RowStream::Outcome::kRow) return;
  testing::MemoryTable table{stream.header().columns, {}};
  std::string_view encoded;
  while (stream.NextRow(encoded) == RowStream::Outcome::kRow) {
    table.rows.emplace_back(table.columns.size());
    db::DecodeRow(encoded, 0, table.rows.back());
  }
  testing::InMemoryTables tables;
  tables.Put("C:\\FUZZ.MDB", "t", std::move(table));
  db::DataSource data(tables);
  data.SetDatabaseName("C:\\FUZZ.MDB");
  try {
    data.SetRecordSource("select * from t where " + stream.header().columns[0] + " = 1");
    data.Refresh();
    if (!data.Eof()) data.IsNull(stream.header().columns.back());
    data.SetRecordSource("select * from t ");
    for (data.Refresh(); !data.Eof(); data.MoveNext()) data.Field(stream.header().columns[0]);
  } catch (const FatalError&) {
    // A column name the record source cannot hold (a blank in it): refused, as it should be.
  }
}

}  // namespace
}  // namespace catpub

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace catpub;
  // The file checks run on a real file: one in memory, rewritten for every input.
  static const int fd = memfd_create("fuzz.mdb", 0);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
  try {
    db::CheckAccess2000File(path, "C:\\FUZZ.MDB");
  } catch (const FatalError&) {
    return 0;
  }
  std::string_view file(reinterpret_cast<const char*>(data), size);
  for (const char* table : {"listi01", "tipi", "MSysObjects"}) Receive(ReaderOutput(file, table));
  // The second of two readers sharing the price list: the walk starts where the page map says.
  Receive(ReaderOutput(file, "listi01", db::reader::TablePart{1, 2}));
  return 0;
}
