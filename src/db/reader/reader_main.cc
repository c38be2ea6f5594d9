// catalog-publisher-reader: the child process in which alone libmdb runs. It reads one table of an
// Access 2000 file and sends it to its parent (catalog-publisher) on standard output, as
// db/reader_protocol.h says:
//
//   catalog-publisher-reader --memory-limit-mb=N [--part=K/COUNT] FILE TABLE
//
// With --part, only part K (from 0) of COUNT of the table's pages is read
// (db/reader/mdb_table_reader.h), so that several readers can share a large table.
//
// libmdb crashes, loops or exhausts memory on some damaged files. Here that costs only this
// process: its address space is limited, the parent kills it when it stops making progress, and the
// parent reports a damaged database. A separate executable (rather than a fork of the parent)
// starts from a small, clean address space, so the memory limit means what it says, shares no state
// (heap locks, open files, signal handlers) with the parent, and keeps libmdb out of the parent
// entirely.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/reader/frame_writer.h"
#include "db/reader/mdb_table_reader.h"
#include "db/reader_protocol.h"
#include "platform/address_sanitizer.h"
#include "platform/arguments.h"
#include "platform/binary_output.h"
#include "platform/environment.h"
#include "platform/fatal_error.h"
#include "platform/mapped_file.h"
#include "platform/memory_limit.h"
#include "platform/utf8_path.h"

#ifdef CATPUB_ASAN
// AddressSanitizer reserves terabytes of address space, so an address-space limit cannot apply; a
// resident-memory limit stands in for it in sanitizer builds.
extern "C" const char* __asan_default_options() { return "hard_rss_limit_mb=1024"; }
#endif

namespace {

constexpr int kUsage = 2;
constexpr int kPipeBroken = 3;

// Limits the address space to `megabytes` beyond what is mapped already (the database file).
void LimitMemory(std::string_view megabytes) {
  uint64_t limit = 0;
  auto [end, error] = std::from_chars(megabytes.data(), megabytes.data() + megabytes.size(), limit);
  if (error != std::errc() || end != megabytes.data() + megabytes.size() || limit == 0) {
    std::fprintf(stderr, "limite di memoria non valido: %s\n", std::string(megabytes).c_str());
    std::_Exit(kUsage);
  }
  catpub::platform::LimitThisProcessMemory(limit);
}

// "K/COUNT" with K < COUNT; nullopt when it is not that.
std::optional<catpub::db::reader::TablePart> ParsePart(std::string_view text) {
  catpub::db::reader::TablePart part;
  const char* end = text.data() + text.size();
  auto [slash, error] = std::from_chars(text.data(), end, part.index);
  if (error != std::errc() || slash == end || *slash != '/') return std::nullopt;
  auto [last, count_error] = std::from_chars(slash + 1, end, part.count);
  if (count_error != std::errc() || last != end || part.index >= part.count) return std::nullopt;
  return part;
}

}  // namespace

int main(int argc, char** argv) {
  using catpub::db::wire::kMemoryLimitFlag;
  using catpub::db::wire::kPartFlag;
  // In UTF-8 on every system: the file's path may hold any character.
  const std::vector<std::string> arguments = catpub::platform::Utf8Arguments(argc, argv);
  std::vector<std::string_view> args(arguments.begin() + 1, arguments.end());
  std::optional<catpub::db::reader::TablePart> part = catpub::db::reader::TablePart{};
  if (args.size() == 4 && args[1].starts_with(kPartFlag)) {
    part = ParsePart(args[1].substr(kPartFlag.size()));
    args.erase(args.begin() + 1);
  }
  if (args.size() != 3 || !args[0].starts_with(kMemoryLimitFlag) || !part) {
    std::fprintf(stderr, "uso: %s --memory-limit-mb=N [--part=K/COUNT] FILE TABELLA\n",
                 arguments.at(0).c_str());
    return kUsage;
  }
  const std::string path(args[1]);
  const std::string table(args[2]);
  // Mapped when it can be; empty otherwise (always on Windows), and libmdb then reads the file
  // itself and reports what is wrong.
  const catpub::platform::MappedFile mapped(catpub::platform::Utf8Path(path));
  const std::string_view file = mapped.bytes();
  LimitMemory(args[0].substr(kMemoryLimitFlag.size()));
  // The frames go out on a copy of standard output; whatever libmdb prints there goes to standard
  // error with its warnings instead of into the frames.
  const std::optional<catpub::platform::BinaryOutput> out =
      catpub::platform::BinaryOutput::TakeStandardOutput();
  if (!out) return kPipeBroken;
  // libmdb's environment switches (output character set, search path, debug printing) stay off.
  catpub::platform::RemoveFromEnvironment("MDBICONV");
  catpub::platform::RemoveFromEnvironment("MDBPATH");
  catpub::platform::RemoveFromEnvironment("MDBOPTS");

  using catpub::db::wire::FailureKind;
  catpub::db::reader::FrameWriter writer([&out, &mapped](std::string_view bytes) {
    // Nobody is left to tell when the parent is gone.
    if (!out->Write(bytes)) std::_Exit(kPipeBroken);
    // The reader's footprint stays small for any file size.
    mapped.ReleaseResidentPages();
  });
  try {
    catpub::db::reader::TableRead read =
        file.empty() ? catpub::db::reader::ReadMdbTable(path, table, writer, *part)
                     : catpub::db::reader::ReadMdbTableInMemory(file, table, writer, *part);
    if (read == catpub::db::reader::TableRead::kNotFound) {
      writer.Fail(FailureKind::kTableNotFound, "");
    }
  } catch (const catpub::FatalError& e) {
    writer.Fail(FailureKind::kDamaged, e.what());
  } catch (const std::bad_alloc&) {
    writer.Fail(FailureKind::kDamaged, "leggerla richiede più memoria di quella concessa");
  }
  // Skip libmdb's and the C library's clean-up: the answer is sent, and nothing is left to save.
  std::fflush(stderr);
  std::_Exit(0);
}
