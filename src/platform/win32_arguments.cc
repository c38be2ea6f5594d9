#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/arguments.h"
#include "platform/win32_text.h"

namespace catpub::platform {

// CommandLineToArgvW splits as the C runtime does (quotes and backslashes), but for argv[0], which
// it takes up to the first blank or quote; argv[0] is only ever a name to show.
std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

}  // namespace catpub::platform
