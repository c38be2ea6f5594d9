// catalog-publisher: one run of the shop's catalogue publication. Wires the real platform to Form1
// and returns how the run ended as the exit status.
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

#include "app/command_line.h"
#include "app/exit_status.h"
#include "app/form1.h"
#include "app/outcome.h"
#include "app/run.h"
#include "db/mdb_table_source.h"
#include "log/run_log.h"
#include "platform/clock.h"
#include "platform/curl_ftp_control.h"
#include "platform/disk_numbered_files.h"
#include "platform/fatal_error.h"
#include "platform/interruption.h"
#include "platform/shop_folder.h"
#include "platform/shop_lock.h"
#include "platform/windows_file_system.h"
#include "publish/upload.h"
#include "ui/make_window_host.h"

namespace {

catpub::app::Outcome PublishOnce() {
  using namespace catpub;
  platform::WindowsFileSystem fs = platform::WindowsFileSystem::FromEnvironment();
  platform::DiskNumberedFiles files(fs);
  platform::SystemClock clock;
  log::RunLog run_log(files, clock);
  db::MdbTableSource tables(fs);
  platform::CurlFtpControl ftp(fs, platform::CompiledInFtpSettings());
  std::unique_ptr<ui::WindowHost> window = ui::MakeWindowHost(fs.CurrentDrive());
  app::Form1 form(*window, run_log, fs, tables, {files, ftp, publish::CompiledInFtpAccount()});
  platform::FolderLock shop(fs, platform::kShopFolder, platform::CompiledInShopLockWait());
  return app::Run(*window, form, run_log, shop, stdout, stderr);
}

// The run, or what failed before it could start (the FTP library, the display): that has no log to
// go to yet, and is said on standard error alone.
catpub::app::Outcome StartAndPublish() {
  constexpr char kStartFailed[] = "avvio del programma non riuscito";
  try {
    return PublishOnce();
  } catch (catpub::FatalError& error) {
    error.fields().activity = kStartFailed;
    std::fprintf(stderr, "%s\n", catpub::ReportLine(error).c_str());
    return catpub::app::Fatal{error};
  } catch (const std::exception& error) {
    catpub::FatalError failure = catpub::FatalError(kStartFailed).Because(error.what());
    std::fprintf(stderr, "%s\n", catpub::ReportLine(failure).c_str());
    return catpub::app::Fatal{failure};
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (std::optional<catpub::app::ExitStatus> answered =
          catpub::app::AnswerCommandLine(argc, argv, stdout, stderr)) {
    return *answered;
  }
  catpub::platform::CatchInterruptions();
  return catpub::app::ExitStatusOf(StartAndPublish());
}
