#include "app/data_folder.h"

#include <string_view>
#include <vector>

#include "platform/shop_folder.h"

namespace catpub::app {
namespace {

constexpr size_t kMaxComponents = 11;

std::vector<std::string_view> Split(std::string_view text) {
  std::vector<std::string_view> components;
  size_t start = 0;
  for (size_t end; (end = text.find('\\', start)) != std::string_view::npos; start = end + 1) {
    components.push_back(text.substr(start, end - start));
  }
  components.push_back(text.substr(start));
  return components;
}

// Only blanks are trimmed, as the shop's programs trim.
std::string_view TrimBlanks(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool IsDataFileName(std::string_view component) {
  std::string_view name = TrimBlanks(component);
  return name == "dati.mdb" || name == "Dati.mdb" || name == "DATI.MDB";
}

}  // namespace

std::string DeriveDataFolder(const std::string& database, const std::string& drive_letter) {
  const std::vector<std::string_view> components = Split(database);
  std::string folder;
  bool matched = false;
  for (size_t m = 0; m < components.size() && m < kMaxComponents; ++m) {
    if (IsDataFileName(components[m])) {
      matched = true;
      break;
    }
    folder += components[m];
    folder += '\\';
  }
  if (!matched && components.size() < kMaxComponents) {
    // Deliberate: with no data file name among fewer than eleven components, the last one is the
    // file name, whatever it is called; the folder is what stands in front of it.
    folder.resize(folder.size() - components.back().size() - 1);
  }
  if (!folder.empty()) return folder;
  // The shop's folder, on the current drive.
  std::string shop_folder = platform::kShopFolder;
  return shop_folder.replace(0, 1, drive_letter) + '\\';
}

}  // namespace catpub::app
