#include "log/run_log.h"

#include "platform/shop_folder.h"

namespace catpub::log {
namespace {

constexpr int kLogFile = 2;

}  // namespace

void RunLog::NameToday() {
  // The name is cut from the date text at fixed positions: characters 1-2, 4-5 and 7-10 of
  // dd/mm/yyyy.
  const std::string date = platform::DateText(clock_.Now());
  path_ = std::string(platform::kShopFolder) + "\\bkp\\logrul3_" + date.substr(0, 2) +
          date.substr(3, 2) + date.substr(6, 4) + ".txt";
}

void RunLog::OpenRunLog() {
  NameToday();
  // Always appending, also when the file is new: a line of another writer is never overwritten,
  // and a file another process has just created is never truncated.
  files_.OpenForAppend(kLogFile, path_);
}

void RunLog::LogStamped(std::string_view message) {
  const platform::LocalTime now = clock_.Now();
  std::string line = platform::DateText(now);
  line += '-';
  line += platform::TimeText(now);
  line += message;
  files_.WriteLine(kLogFile, line);
}

void RunLog::LogPlain(std::string_view message) { files_.WriteLine(kLogFile, message); }

void RunLog::CloseAllFiles() { files_.CloseAllFiles(); }

void RunLog::AppendAfterClose(std::string_view message) {
  if (path_.empty()) NameToday();
  if (!files_.IsOpen(kLogFile)) files_.OpenForAppend(kLogFile, path_);
  files_.WriteLine(kLogFile, message);
}

}  // namespace catpub::log
