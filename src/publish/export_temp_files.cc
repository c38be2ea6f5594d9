#include "publish/export_temp_files.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/fold_case.h"
#include "platform/this_process.h"
#include "publish/export_path.h"

namespace catpub::publish {
namespace {

constexpr std::string_view kPath = kExportPath;
constexpr std::string_view kFolder = kPath.substr(0, kPath.rfind('\\'));  // C:\orbis
constexpr std::string_view kName = kPath.substr(kPath.rfind('\\') + 1);   // articoli.csv
constexpr std::string_view kTempEnd = ".tmp";

// "articoli.csv." + decimal digits + ".tmp", as ExportTempPath names a run's file.
bool IsExportTempName(std::string_view name) {
  const std::string folded = platform::FoldCase(name);
  const std::string start = platform::FoldCase(kName) + ".";
  if (folded.size() <= start.size() + kTempEnd.size() || !folded.starts_with(start) ||
      !folded.ends_with(kTempEnd)) {
    return false;
  }
  const std::string_view digits =
      std::string_view(folded).substr(start.size(), folded.size() - start.size() - kTempEnd.size());
  return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string ExportTempPath() {
  return std::string(kExportPath) + "." + std::to_string(platform::ProcessId()) +
         std::string(kTempEnd);
}

void RemoveLeftoverExports(platform::FileSystem& fs) {
  const std::string folder(kFolder);
  for (const std::string& name : fs.ListFiles(folder)) {
    if (IsExportTempName(name)) fs.Remove(folder + "\\" + name);
  }
}

}  // namespace catpub::publish
