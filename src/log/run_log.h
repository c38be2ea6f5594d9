// The run log: one text file a day, "C:\orbis\bkp\logrul3_ddmmyyyy.txt", opened as file number 2.
// Stamped lines are date text + "-" + time text + message; plain lines the message alone.
#pragma once

#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/numbered_files.h"

namespace catpub::log {

class RunLog {
 public:
  RunLog(platform::NumberedFiles& files, platform::Clock& clock) : files_(files), clock_(clock) {}
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Names today's file and opens it for appending, creating it when missing. The folder is never
  // created. Throws FatalError when the file cannot be opened.
  void OpenRunLog();
  void LogStamped(std::string_view message);
  void LogPlain(std::string_view message);
  // Closes every open file of the process, the run log included.
  void CloseAllFiles();
  // Writes a plain line after the log was closed (a failure report), reopening the file for
  // appending; a log never opened is today's.
  void AppendAfterClose(std::string_view message);
  // The log's Windows path, empty before OpenRunLog.
  const std::string& path() const { return path_; }

 private:
  void NameToday();

  platform::NumberedFiles& files_;
  platform::Clock& clock_;
  std::string path_;
};

}  // namespace catpub::log
