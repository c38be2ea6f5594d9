// catalog-publisher-reader: the child process in which alone libmdb runs. It reads one table of an
// Access 2000 file and sends it to its parent (catalog-publisher) on standard output, as
// db/reader_protocol.h says:
//
//   catalog-publisher-reader --memory-limit-mb=N FILE TABLE
//
// libmdb crashes, loops or exhausts memory on some damaged files. Here that costs only this process:
// its address space is limited, the parent kills it when it stops making progress, and the parent
// reports a damaged database. A separate executable (rather than a fork of the parent) starts from
// a small, clean address space, so the memory limit means what it says, shares no state (heap locks,
// open files, signal handlers) with the parent, and keeps libmdb out of the parent entirely.
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>

#include "db/frame_writer.h"
#include "db/mdb_table_reader.h"
#include "platform/fatal_error.h"

#if defined(__SANITIZE_ADDRESS__)
#define CATPUB_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CATPUB_ASAN 1
#endif
#endif

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

void LimitMemory(std::string_view megabytes) {
#ifndef CATPUB_ASAN
  uint64_t limit = 0;
  auto [end, error] = std::from_chars(megabytes.data(), megabytes.data() + megabytes.size(), limit);
  if (error != std::errc() || end != megabytes.data() + megabytes.size() || limit == 0) {
    std::fprintf(stderr, "bad memory limit %s\n", std::string(megabytes).c_str());
    std::_Exit(kUsage);
  }
  rlimit bound{limit << 20, limit << 20};
  ::setrlimit(RLIMIT_AS, &bound);
#else
  (void)megabytes;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  constexpr std::string_view kLimitFlag = "--memory-limit-mb=";
  if (argc != 4 || !std::string_view(argv[1]).starts_with(kLimitFlag)) {
    std::fprintf(stderr, "usage: %s --memory-limit-mb=N FILE TABLE\n", argv[0]);
    return kUsage;
  }
  LimitMemory(std::string_view(argv[1]).substr(kLimitFlag.size()));
  // The frames go out on a copy of standard output; whatever libmdb prints there goes to standard
  // error with its warnings instead of into the frames.
  const int out = ::dup(1);
  if (out < 0 || ::dup2(2, 1) < 0) return kPipeBroken;
  // libmdb's environment switches (output character set, search path, debug printing) stay off.
  ::unsetenv("MDBICONV");
  ::unsetenv("MDBPATH");
  ::unsetenv("MDBOPTS");

  using catpub::db::reader::FailureKind;
  catpub::db::reader::FrameWriter writer([out](std::string_view bytes) { WriteAll(out, bytes); });
  try {
    if (catpub::db::ReadMdbTable(argv[2], argv[3], writer) == catpub::db::TableRead::kRead) {
      writer.End();
    } else {
      writer.Fail(FailureKind::kTableNotFound, "");
    }
  } catch (const catpub::FatalError& e) {
    writer.Fail(FailureKind::kDamaged, e.what());
  } catch (const std::bad_alloc&) {
    writer.Fail(FailureKind::kDamaged, "reading it needs more memory than allowed");
  }
  // Skip libmdb's and the C library's clean-up: the answer is sent, and nothing is left to save.
  std::fflush(stderr);
  std::_Exit(0);
}
