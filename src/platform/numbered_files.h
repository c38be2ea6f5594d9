// Text files opened by number, as the program's run log (2) and export file (5) are. Lines are
// written in Windows-1252 ("?" for a character without a form) and end with CR LF.
#pragma once

#include <string>
#include <string_view>

namespace catpub::platform {

// kEachLine: every line reaches the file when it is written, so nothing is lost if the process dies
// later (the run log). kOnClose: lines are buffered and written out at the latest by CloseAllFiles
// (a large export that is published only once complete).
enum class Flush { kEachLine, kOnClose };

class NumberedFiles {
 public:
  virtual ~NumberedFiles() = default;
  // Creates or truncates the file. Throws FatalError naming the path and the reason on failure.
  virtual void OpenForOutput(int number, const std::string& path, Flush flush) = 0;
  // Opens the file for appending, creating it when missing; every line is written through.
  // Throws FatalError on failure.
  virtual void OpenForAppend(int number, const std::string& path) = 0;
  // True while file `number` is open.
  virtual bool IsOpen(int number) const = 0;
  // Writes one line (UTF-8 text) and CR LF. Throws FatalError on failure.
  virtual void WriteLine(int number, std::string_view text) = 0;
  // Closes every open file; nothing open is no error. Throws FatalError when buffered lines cannot
  // be written out.
  virtual void CloseAllFiles() = 0;
};

}  // namespace catpub::platform
