// catalog-publisher: one run of the shop's catalogue publication.
#include <cstdio>

#include "log/run_log.h"
#include "platform/clock.h"
#include "platform/fatal_error.h"
#include "platform/posix_numbered_files.h"
#include "platform/windows_file_system.h"

namespace {

constexpr int kFatalStatus = 3;

}  // namespace

int main() {
  using namespace catpub;
  platform::WindowsFileSystem fs = platform::WindowsFileSystem::FromEnvironment();
  platform::PosixNumberedFiles files(fs);
  platform::SystemClock clock;
  log::RunLog run_log(fs, files, clock);
  try {
    run_log.OpenRunLog();
    run_log.LogStamped("- Avvio programma");
    run_log.CloseAllFiles();
    return 0;
  } catch (const FatalError& error) {
    std::fprintf(stderr, "catalog-publisher: %s\n", error.what());
    return kFatalStatus;
  }
}
