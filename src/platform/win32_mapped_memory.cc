#include <windows.h>

#include <new>

#include "platform/mapped_memory.h"

namespace catpub::platform {
namespace {

constexpr size_t kPage = 4096;

// Large pages need the "Lock pages in memory" privilege, which a shop's account seldom holds; it
// is switched on for this process when it is held. Asked once.
size_t LargePageSize() {
  static const size_t size = [] {
    const SIZE_T minimum = ::GetLargePageMinimum();
    if (minimum == 0) return size_t{0};
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
      return size_t{0};
    }
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool held = ::LookupPrivilegeValueW(nullptr, L"SeLockMemoryPrivilege",
                                        &privileges.Privileges[0].Luid) &&
                ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                ::GetLastError() == ERROR_SUCCESS;  // not ERROR_NOT_ALL_ASSIGNED
    ::CloseHandle(token);
    return held ? size_t{minimum} : size_t{0};
  }();
  return size;
}

}  // namespace

// Large pages from 2 MB on, when the account may have them and the system finds them (a wish:
// without them all works the same, only slower); VirtualAlloc's memory starts at 64 KB boundaries
// and large pages at their own size's, and is zero.
MappedMemory::MappedMemory(size_t bytes) {
  const size_t large = bytes >= (size_t{2} << 20) ? LargePageSize() : 0;
  if (large != 0) {
    const size_t rounded = (bytes + large - 1) / large * large;
    void* memory = ::VirtualAlloc(nullptr, rounded, MEM_COMMIT | MEM_RESERVE | MEM_LARGE_PAGES,
                                  PAGE_READWRITE);
    if (memory != nullptr) {
      data_ = static_cast<char*>(memory);
      size_ = rounded;
      return;
    }
  }
  const size_t rounded = (bytes + kPage - 1) / kPage * kPage;
  void* memory = ::VirtualAlloc(nullptr, rounded, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (memory == nullptr) throw std::bad_alloc();
  data_ = static_cast<char*>(memory);
  size_ = rounded;
}

void MappedMemory::Release() {
  if (data_) ::VirtualFree(data_, 0, MEM_RELEASE);
}

}  // namespace catpub::platform
