// catalog-publisher: one run of the shop's catalogue publication. Wires the real platform to Form1
// and returns how the run ended as the exit status.
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/exit_status.h"
#include "app/form1.h"
#include "app/outcome.h"
#include "app/run.h"
#include "app/run_event.h"
#include "db/mdb_table_source.h"
#include "log/run_log.h"
#include "platform/clock.h"
#include "platform/curl_ftp_control.h"
#include "platform/disk_numbered_files.h"
#include "platform/event_log.h"
#include "platform/fatal_error.h"
#include "platform/interruption.h"
#include "platform/shop_folder.h"
#include "platform/shop_lock.h"
#include "platform/windows_file_system.h"
#include "publish/upload.h"
#include "ui/make_window_host.h"

namespace {

catpub::app::Outcome PublishOnce(catpub::platform::EventLog& events) {
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
  return app::Run(*window, form, run_log, shop, events, stdout, stderr);
}

// The run, or what failed before it could start (the FTP library, the display): that has no log to
// go to yet, and is said on standard error and in the Event Log alone.
catpub::app::Outcome StartAndPublish(catpub::platform::EventLog& events) {
  constexpr char kStartFailed[] = "avvio del programma non riuscito";
  catpub::FatalError failure(kStartFailed);
  try {
    return PublishOnce(events);
  } catch (catpub::FatalError& error) {
    error.fields().activity = kStartFailed;
    failure = error;
  } catch (const std::exception& error) {
    failure = catpub::FatalError(kStartFailed).Because(error.what());
  }
  const std::string line = catpub::ReportLine(failure);
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  catpub::app::RecordRunEvent(events, catpub::app::RunEvent::kStartFailed, line);
  return catpub::app::Fatal{failure};
}

}  // namespace

int main(int argc, char** argv) {
  if (std::optional<catpub::app::ExitStatus> answered =
          catpub::app::AnswerCommandLine(argc, argv, stdout, stderr)) {
    return *answered;
  }
  catpub::platform::CatchInterruptions();
  catpub::platform::SystemEventLog events;
  return catpub::app::ExitStatusOf(StartAndPublish(events));
}
