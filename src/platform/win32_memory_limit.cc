#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include "platform/address_sanitizer.h"
#include "platform/memory_limit.h"

namespace catpub::platform {

// A job of the process's own, with a limit on the memory it commits. The reader sets it itself
// rather than its parent: the limit counts from what the process has committed when it is set,
// which only the process knows, and the parent's job (which ends the reader with the parent) need
// not know what runs in it. Windows 8 and later put a job inside the job the parent made. The
// job's handle stays open until the process ends, and the limit with it. Wine accepts the limit
// but does not enforce it.
void LimitThisProcessMemory([[maybe_unused]] uint64_t megabytes) {
#ifndef CATPUB_ASAN
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  uint64_t committed = 0;
  if (::GetProcessMemoryInfo(::GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters)) {
    committed = counters.PrivateUsage;
  }
  HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limit{};
  limit.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
  limit.ProcessMemoryLimit = static_cast<SIZE_T>(committed + (megabytes << 20));
  if (!::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limit, sizeof limit) ||
      !::AssignProcessToJobObject(job, ::GetCurrentProcess())) {
    ::CloseHandle(job);  // a limit the system refuses is left unset
  }
#endif
}

}  // namespace catpub::platform
