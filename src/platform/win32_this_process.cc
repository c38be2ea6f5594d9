#include <windows.h>

#include <string>

#include "platform/this_process.h"

namespace catpub::platform {

uint64_t ProcessId() { return ::GetCurrentProcessId(); }

std::filesystem::path ProgramFile() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      name.resize(length);
      return name;
    }
    name.resize(name.size() * 2);  // cut short: a longer path
  }
}

}  // namespace catpub::platform
