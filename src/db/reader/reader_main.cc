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
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
#include "platform/fatal_error.h"

#ifdef CATPUB_ASAN
// AddressSanitizer reserves terabytes of address space, so an address-space limit cannot apply; a
// resident-memory limit stands in for it in sanitizer builds.
extern "C" const char* __asan_default_options() { return "hard_rss_limit_mb=1024"; }
#endif

namespace {

constexpr int kUsage = 2;
constexpr int kPipeBroken = 3;

// Writes all of `bytes` to `fd`; exits when the parent is gone (nobody is left to tell).
void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) std::_Exit(kPipeBroken);
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

// The database file mapped read-only into memory; empty when it cannot be (libmdb then reads the
// file itself and reports what is wrong).
std::string_view MapFile(const char* path) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat info {};
  void* mapped = MAP_FAILED;
  if (::fstat(fd, &info) == 0 && info.st_size > 0) {
    mapped = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_SHARED, fd, 0);
  }
  ::close(fd);
  if (mapped == MAP_FAILED) return {};
  ::madvise(mapped, static_cast<size_t>(info.st_size), MADV_SEQUENTIAL);
  return std::string_view(static_cast<const char*>(mapped), static_cast<size_t>(info.st_size));
}

// Limits the address space to `megabytes` beyond what is mapped already (the database file).
void LimitMemory(std::string_view megabytes) {
  uint64_t limit = 0;
  auto [end, error] = std::from_chars(megabytes.data(), megabytes.data() + megabytes.size(), limit);
  if (error != std::errc() || end != megabytes.data() + megabytes.size() || limit == 0) {
    std::fprintf(stderr, "limite di memoria non valido: %s\n", std::string(megabytes).c_str());
    std::_Exit(kUsage);
  }
#ifndef CATPUB_ASAN
  uint64_t mapped = 0;
  if (std::FILE* status = std::fopen("/proc/self/statm", "r")) {
    unsigned long pages = 0;
    if (std::fscanf(status, "%lu", &pages) == 1) mapped = uint64_t{pages} * 4096;
    std::fclose(status);
  }
  rlimit bound{mapped + (limit << 20), mapped + (limit << 20)};
  ::setrlimit(RLIMIT_AS, &bound);
#endif
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
  std::vector<std::string_view> args(argv + 1, argv + argc);
  std::optional<catpub::db::reader::TablePart> part = catpub::db::reader::TablePart{};
  if (args.size() == 4 && args[1].starts_with(kPartFlag)) {
    part = ParsePart(args[1].substr(kPartFlag.size()));
    args.erase(args.begin() + 1);
  }
  if (args.size() != 3 || !args[0].starts_with(kMemoryLimitFlag) || !part) {
    std::fprintf(stderr, "uso: %s --memory-limit-mb=N [--part=K/COUNT] FILE TABELLA\n", argv[0]);
    return kUsage;
  }
  const std::string path(args[1]);
  const std::string table(args[2]);
  const std::string_view file = MapFile(path.c_str());
  LimitMemory(args[0].substr(kMemoryLimitFlag.size()));
  // The frames go out on a copy of standard output; whatever libmdb prints there goes to standard
  // error with its warnings instead of into the frames.
  const int out = ::dup(1);
  if (out < 0 || ::dup2(2, 1) < 0) return kPipeBroken;
  // libmdb's environment switches (output character set, search path, debug printing) stay off.
  ::unsetenv("MDBICONV");
  ::unsetenv("MDBPATH");
  ::unsetenv("MDBOPTS");

  using catpub::db::wire::FailureKind;
  catpub::db::reader::FrameWriter writer([out, file](std::string_view bytes) {
    WriteAll(out, bytes);
    // The pages read so far leave this process's resident memory (they stay in the page cache,
    // and come back if read again): the reader's footprint stays small for any file size.
    if (!file.empty()) ::madvise(const_cast<char*>(file.data()), file.size(), MADV_DONTNEED);
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
