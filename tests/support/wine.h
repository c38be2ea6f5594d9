// Whether this test runs under Wine rather than Windows: Wine is a test platform here, and a few
// things that Windows does it does not (a Job object's memory limit is accepted, not enforced).
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

namespace catpub::testing {

inline bool RunningUnderWine() {
#ifdef _WIN32
  // Wine's ntdll exports its version; Windows' does not.
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

}  // namespace catpub::testing
