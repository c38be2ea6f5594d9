// Form1's handlers: the start-up sequence, the processing gate, the Timer2 heartbeat and the end of
// the run. They reach the window, the run log, the files and the databases only through the
// interfaces they are given, so they run unchanged with the FLTK window, headless, or against
// fakes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/outcome.h"
#include "db/data_source.h"
#include "db/table_source.h"
#include "log/run_log.h"
#include "platform/file_system.h"
#include "platform/ftp_control.h"
#include "platform/numbered_files.h"
#include "publish/upload.h"
#include "ui/window.h"

namespace catpub::app {

// The till's configuration, read from utenti at start-up; 0 until read.
struct StartupSettings {
  int32_t nrpos = 0;
  int32_t codattiv = 0;
};

class Form1 : public ui::FormEvents {
 public:
  // What the publication needs besides the window and the run log.
  struct Publication {
    platform::NumberedFiles& files;
    platform::FtpControl& ftp;
    publish::FtpAccount account;
  };

  Form1(ui::Window& window, log::RunLog& run_log, platform::FileSystem& fs, db::TableSource& tables,
        Publication publication);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  void Form_Load() override;
  void Form_Unload() override;
  void Command1_Click() override;
  void Timer2_Timer() override;

  const std::string& dataDbPath() const { return dataDbPath_; }
  const StartupSettings& startup_settings() const { return settings_; }
  int16_t processingCounter() const { return processingCounter_; }
  // How the run ended: what the publication gave once it has run (Published, NothingToPublish,
  // UploadFailed); before that ConfigurationError, which is how a Form_Load that stops short of
  // the publication ends, leaving the window open. A handler that cannot go on throws FatalError
  // instead.
  const Outcome& outcome() const { return outcome_; }

 private:
  // The start-up's checks: the company's rows in società and inizio, the data database they name,
  // the till's configuration in utenti. Returns the error line when one of them fails.
  std::optional<std::string> CheckDatabases(const std::string& companyDbPath);
  // Points `var` at `database`, runs `sql`; true when a row came back.
  bool Query(const std::string& database, const std::string& sql);
  // Field database of var's current row as text; nullopt when it is Null.
  std::optional<std::string> DatabaseField();
  // The column of var's current row as a 32-bit whole number, halves to even.
  int32_t WholeNumberField(const char* column);
  void ReadStartupSettings();
  void ProcessingGate();
  void PublishArticles();

  ui::Window& window_;
  log::RunLog& run_log_;
  platform::FileSystem& fs_;
  Publication publication_;
  db::DataSource var_;
  db::DataSource codean_;
  db::DataSource listi01_;

  int16_t companyCode_ = 0;
  std::string driveLetter_;
  std::string dataFolder_;
  std::string dataDbPath_;
  StartupSettings settings_;
  int16_t processingCounter_ = 0;
  Outcome outcome_;
};

}  // namespace catpub::app
