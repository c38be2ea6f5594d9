#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/environment.h"

namespace catpub::platform {

// From the C library's copy, which getenv() reads (libmdb asks it), and from the system's, which
// child processes get. An empty value removes the variable from the C library's copy. The names
// asked for are ASCII.
void RemoveFromEnvironment(const char* name) {
  const std::wstring wide(name, name + std::char_traits<char>::length(name));
  ::_wputenv_s(wide.c_str(), L"");
  ::SetEnvironmentVariableW(wide.c_str(), nullptr);
}

}  // namespace catpub::platform
