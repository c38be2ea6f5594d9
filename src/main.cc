// catalog-publisher: one run of the shop's catalogue publication. Wires the real platform to Form1
// and returns how the run ended as the exit status.
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

#include "app/command_line.h"
#include "app/form1.h"
#include "app/run.h"
#include "db/mdb_table_source.h"
#include "log/run_log.h"
#include "platform/clock.h"
#include "platform/curl_ftp_control.h"
#include "platform/fatal_error.h"
#include "platform/interruption.h"
#include "platform/posix_numbered_files.h"
#include "platform/shop_folder.h"
#include "platform/shop_lock.h"
#include "platform/windows_file_system.h"
#include "publish/upload.h"
#include "ui/headless_window.h"
#include "ui/make_window_host.h"

namespace {

int PublishOnce() {
  using namespace catpub;
  platform::WindowsFileSystem fs = platform::WindowsFileSystem::FromEnvironment();
  platform::PosixNumberedFiles files(fs);
  platform::SystemClock clock;
  log::RunLog run_log(files, clock);
  db::MdbTableSource tables(fs);
  platform::CurlFtpControl ftp(fs, platform::CompiledInFtpSettings());
  std::unique_ptr<ui::WindowHost> window = ui::MakeWindowHost(fs.CurrentDrive());
  app::Form1 form(*window, run_log, fs, tables, {files, ftp, publish::CompiledInFtpAccount()});
  platform::FolderLock shop(fs, platform::kShopFolder, platform::CompiledInShopLockWait());
  // Headless, a message box would only repeat on standard error what the report prints there.
  const bool message_box = dynamic_cast<ui::HeadlessWindow*>(window.get()) == nullptr;
  return app::Run(*window, form, run_log, shop, stdout, stderr, message_box);
}

}  // namespace

int main(int argc, char** argv) {
  if (std::optional<int> answered = catpub::app::AnswerCommandLine(argc, argv, stdout, stderr)) {
    return *answered;
  }
  catpub::platform::CatchInterruptions();
  // What fails before the run starts (the FTP library, the display) has no log to go to yet.
  constexpr char kStartFailed[] = "avvio del programma non riuscito";
  try {
    return PublishOnce();
  } catch (catpub::FatalError& error) {
    error.fields().activity = kStartFailed;
    std::fprintf(stderr, "%s\n", catpub::ReportLine(error).c_str());
  } catch (const std::exception& error) {
    const std::string line =
        catpub::ReportLine(catpub::FatalError(kStartFailed).Because(error.what()));
    std::fprintf(stderr, "%s\n", line.c_str());
  }
  return catpub::app::kFatal;
}
