#include "platform/child_process.h"

#include <algorithm>
#include <filesystem>
#include <utility>

namespace catpub::platform {
namespace {

// The beginning of the child's standard error that is kept; the rest is counted and dropped.
constexpr size_t kErrorsKept = 4096;

// "20 s", "0,5 s".
std::string Seconds(std::chrono::milliseconds duration) {
  std::string text = std::to_string(duration.count() / 1000);
  // Appended piece by piece: GCC 12 takes "." + std::to_string(...) for an overlapping copy
  // (-Wrestrict) when it inlines it at -O3.
  if (int64_t tenths = duration.count() % 1000 / 100) {
    text += ',';
    text += std::to_string(tenths);
  }
  text += " s";
  return text;
}

}  // namespace

FatalError ChildProcess::CannotStart(const std::string& program, const std::string& reason) {
  return FatalError("impossibile avviare il programma " +
                    std::filesystem::path(program).filename().string())
      .Because(reason);
}

void ChildProcess::KeepErrors(std::string_view chunk) {
  const size_t keep = std::min(chunk.size(), kErrorsKept - errors_.size());
  errors_.append(chunk.substr(0, keep));
  errors_dropped_ += chunk.size() - keep;
}

void ChildProcess::Reaped(Ending ending) {
  reaped_ = true;
  DrainErrors();
  if (killed_by_watchdog_) {
    ending = Ending{false, "fermato dopo " + Seconds(idle_limit_) + " senza alcun progresso"};
  }
  ending_ = std::move(ending);
}

std::string ChildProcess::ErrorOutput(size_t limit) const {
  std::string line;
  bool blank = false;
  for (char c : errors_) {
    if (c == '\n' || c == '\r' || c == '\t') {
      blank = !line.empty();
      continue;
    }
    if (blank) line += " | ";
    blank = false;
    line += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
  }
  if (line.size() > limit || errors_dropped_ > 0) {
    line.resize(std::min(line.size(), limit));
    line += " ...";
  }
  return line;
}

}  // namespace catpub::platform
