#include <windows.h>

#include <utility>

#include "platform/fatal_error.h"
#include "platform/output_file.h"
#include "platform/system_error_text.h"

namespace catpub::platform {
namespace {

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// What failed on the file, and why; GetLastError() is read before anything else can change it.
FatalError Failed(const char* what, const std::string& path) {
  const DWORD error = ::GetLastError();
  return FatalError(what).InFile(path).Because(WindowsErrorText(error));
}

}  // namespace

// Shared for reading alone: the shop may look at the run log while a run writes it, but nothing
// else writes either file meanwhile. The handle is not inherited (no security attributes).
OutputFile::OutputFile(const std::filesystem::path& local_path, std::string windows_path, Mode mode)
    : windows_path_(std::move(windows_path)) {
  const bool append = mode == Mode::kAppend;
  HANDLE handle =
      ::CreateFileW(local_path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ,
                    nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw Failed("impossibile aprire", windows_path_);
  handle_ = reinterpret_cast<intptr_t>(handle);
}

OutputFile::~OutputFile() {
  if (handle_ != -1) ::CloseHandle(AsHandle(handle_));
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : windows_path_(std::move(other.windows_path_)), handle_(std::exchange(other.handle_, -1)) {}

void OutputFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk =
        bytes.size() > (DWORD{1} << 30) ? DWORD{1} << 30 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!::WriteFile(AsHandle(handle_), bytes.data(), chunk, &written, nullptr) || written == 0) {
      throw Failed("impossibile scrivere", windows_path_);
    }
    bytes.remove_prefix(written);
  }
}

// Windows has no call that starts the write-back of a range without waiting for it; its cache
// writes behind by itself, so nothing is asked here. The run log, written line by line, reaches the
// cache at each line, which a crash of the process does not lose.
void OutputFile::StartWriteBack(uint64_t, uint64_t) {}

void OutputFile::Close() {
  HANDLE handle = AsHandle(std::exchange(handle_, -1));
  if (!::CloseHandle(handle)) throw Failed("impossibile chiudere", windows_path_);
}

}  // namespace catpub::platform
