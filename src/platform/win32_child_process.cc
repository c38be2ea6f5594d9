// ChildProcess on Windows: CreateProcessW, started suspended and put in a job that ends it with the
// parent; its output and errors on named pipes read with overlapped I/O, so that one wait covers
// the output, the errors and the watchdog's deadline.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

#include "platform/child_process.h"
#include "platform/interruption.h"
#include "platform/system_error_text.h"
#include "platform/win32_text.h"

namespace catpub::platform {
namespace {

constexpr DWORD kInterruptionCheckMs = 100;
// Room for the reader's large row frames.
constexpr DWORD kPipeSize = 1 << 20;
// The exit code Kill gives the child; Windows' own for a process that a debugger ended.
constexpr DWORD kKilled = 0x40010004;  // DBG_TERMINATE_PROCESS
// The longest the errors are awaited once the child has ended: a grandchild may hold the pipe.
constexpr DWORD kErrorsAfterEndMs = 1000;

// Makes the child's handles inheritable only while it is created, so that a child created by
// another thread meanwhile cannot inherit them (and keep a pipe open past this child's end).
std::mutex creating;

void Close(HANDLE& handle) {
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  handle = nullptr;
}

DWORD MillisecondsUntil(SteadyTime deadline, SteadyTime now) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
  return left < 0 ? 0 : static_cast<DWORD>(left);
}

// The usual exceptions that end a process, in the shop's words.
std::string ExceptionText(DWORD code) {
  switch (code) {
    case 0xC0000005:  // STATUS_ACCESS_VIOLATION
      return "accesso alla memoria non valido";
    case 0xC0000006:  // STATUS_IN_PAGE_ERROR
      return "pagina di un file mappato non leggibile";
    case 0xC00000FD:  // STATUS_STACK_OVERFLOW
      return "pila esaurita";
    case 0xC0000409:  // STATUS_STACK_BUFFER_OVERRUN, also abort() and fail-fast
      return "interrotto da sé";
    case 0xC0000017:  // STATUS_NO_MEMORY
      return "memoria esaurita";
    case 0xC000001D:  // STATUS_ILLEGAL_INSTRUCTION
      return "istruzione non valida";
    case 0xC0000094:  // STATUS_INTEGER_DIVIDE_BY_ZERO
    case 0xC0000095:  // STATUS_INTEGER_OVERFLOW
    case 0xC000008E:  // STATUS_FLOAT_DIVIDE_BY_ZERO
      return "errore aritmetico";
    case 0xC000013A:  // STATUS_CONTROL_C_EXIT
      return "interrotto da Ctrl+C";
    case 0xC0000142:  // STATUS_DLL_INIT_FAILED
    case 0xC0000135:  // STATUS_DLL_NOT_FOUND
    case 0xC0000139:  // STATUS_ENTRYPOINT_NOT_FOUND
      return "libreria mancante o non valida";
    default:
      return "eccezione di sistema";
  }
}

std::string Hex(DWORD code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
  return text;
}

// How the child ended, by its exit code. Exit codes from 0xC0000000 on are the exceptions that
// ended it (NTSTATUS errors), Windows' counterpart of a deadly signal.
ChildProcess::Ending EndingOf(DWORD code) {
  ChildProcess::Ending ending;
  if (code == kKilled) {
    ending.description = "terminato d'autorità";
  } else if (code >= 0xC0000000) {
    // An in-page error is what a mapped file that got shorter gives, as SIGBUS does on Linux.
    ending.mapped_file_fault = code == 0xC0000006;
    ending.description = "terminato dall'eccezione " + Hex(code) + " (" + ExceptionText(code) + ")";
  } else {
    ending.clean = code == 0;
    ending.description = "uscito con stato " + std::to_string(code);
  }
  return ending;
}

// One argument quoted as the C runtime splits the command line: blanks and quotes inside quotes, a
// quote escaped by a backslash, backslashes before a quote doubled.
void AppendQuoted(const std::wstring& argument, std::wstring& line) {
  if (!line.empty()) line += L' ';
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

// One of the child's outputs: the parent's end of a pipe with one read at a time under way.
struct Reading {
  Reading() { overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
  ~Reading() {
    Stop();
    Close(overlapped.hEvent);
  }
  Reading(const Reading&) = delete;
  Reading& operator=(const Reading&) = delete;

  // Starts a read when none is under way and nothing read is left over; then takes what a read
  // brought, without waiting. True while the pipe is open.
  bool Poll() {
    while (pipe != nullptr && !pending && at == got) {
      DWORD read = 0;
      if (::ReadFile(pipe, buffer, sizeof buffer, &read, &overlapped)) {
        Got(read);
      } else if (::GetLastError() == ERROR_IO_PENDING) {
        pending = true;
      } else {
        Stop();  // ERROR_BROKEN_PIPE: the child's end is closed
      }
    }
    if (pending) {
      DWORD read = 0;
      if (::GetOverlappedResult(pipe, &overlapped, &read, FALSE)) {
        pending = false;
        Got(read);
      } else if (::GetLastError() != ERROR_IO_INCOMPLETE) {
        pending = false;
        Stop();
      }
    }
    return pipe != nullptr;
  }

  std::string_view Available() const { return std::string_view(buffer + at, got - at); }
  void Take(size_t bytes) { at += bytes; }

  // Closes the pipe, first ending a read under way (its buffer must outlive it).
  void Stop() {
    if (pipe == nullptr) return;
    if (pending) {
      DWORD read = 0;
      ::CancelIoEx(pipe, &overlapped);
      ::GetOverlappedResult(pipe, &overlapped, &read, TRUE);
      pending = false;
    }
    Close(pipe);
  }

  HANDLE pipe = nullptr;
  OVERLAPPED overlapped{};
  bool pending = false;
  char buffer[65536];
  size_t at = 0, got = 0;

 private:
  void Got(DWORD read) {
    at = 0;
    got = read;
  }
};

// A pipe for one of the child's outputs: the parent's end, overlapped, in `reading`; the child's
// end, inheritable, returned. Null on failure, with GetLastError() saying why.
HANDLE MakePipe(Reading& reading) {
  static std::atomic<unsigned> pipes{0};
  const std::wstring name = L"\\\\.\\pipe\\catalog-publisher-" +
                            std::to_wstring(::GetCurrentProcessId()) + L"-" +
                            std::to_wstring(pipes++);
  HANDLE read_end = ::CreateNamedPipeW(
      name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, kPipeSize,
      0, nullptr);
  if (read_end == INVALID_HANDLE_VALUE) return nullptr;
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE write_end = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherited, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  if (write_end == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(read_end);
    ::SetLastError(error);
    return nullptr;
  }
  reading.pipe = read_end;
  return write_end;
}

// A job that ends its processes when its last handle closes: when the ChildProcess ends it, and
// when the parent ends however it ends. Null when the system refuses it; the child is then ended by
// the ChildProcess alone.
HANDLE KillingJob() {
  HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limit{};
  limit.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limit, sizeof limit)) {
    ::CloseHandle(job);
    return nullptr;
  }
  return job;
}

}  // namespace

struct ChildProcess::System {
  ~System() {
    Close(process);
    Close(job);
  }
  HANDLE process = nullptr;
  HANDLE job = nullptr;
  bool ended = false;  // the process has ended: what is left of its errors is awaited only briefly
  Reading out;
  Reading err;
};

namespace {

// The child's ends of its pipes and its standard input, closed once the child has them.
struct ChildEnds {
  ~ChildEnds() {
    Close(in);
    Close(out);
    Close(err);
  }
  HANDLE in = nullptr, out = nullptr, err = nullptr;
};

// Starts the program suspended with its handles, in the job, and lets it run. The error code of
// what failed, 0 on success.
DWORD Start(const std::vector<std::string>& argv, ChildEnds& ends, HANDLE& process, HANDLE& job) {
  std::wstring line;
  for (const std::string& arg : argv) AppendQuoted(Utf16(arg), line);
  const std::wstring program = Utf16(argv.at(0));

  SIZE_T size = 0;
  ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::string attributes_memory(size, '\0');
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes_memory.data());
  if (!::InitializeProcThreadAttributeList(attributes, 1, 0, &size)) return ::GetLastError();
  // The child inherits these three handles and no other, whatever else is inheritable.
  HANDLE handles[] = {ends.in, ends.out, ends.err};
  DWORD error = 0;
  if (!::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                   sizeof handles, nullptr, nullptr)) {
    error = ::GetLastError();
  }
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = ends.in;
  startup.StartupInfo.hStdOutput = ends.out;
  startup.StartupInfo.hStdError = ends.err;
  startup.lpAttributeList = attributes;
  PROCESS_INFORMATION started{};
  // No console at all (a parent run by the Task Scheduler has none to share, and a console's Ctrl+C
  // is the parent's to answer). A hidden console of its own (CREATE_NO_WINDOW) would not do: Wine
  // starts a console host for it that inherits the pipes' ends, so the output would not end when
  // the child closes it. No dialog of Windows' own when it crashes, which nobody would answer: the
  // error mode is inherited.
  const UINT error_mode = ::GetErrorMode();
  ::SetErrorMode(error_mode | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX |
                 SEM_NOOPENFILEERRORBOX);
  if (error == 0 &&
      !::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                        CREATE_SUSPENDED | DETACHED_PROCESS | EXTENDED_STARTUPINFO_PRESENT, nullptr,
                        nullptr, &startup.StartupInfo, &started)) {
    error = ::GetLastError();
  }
  ::SetErrorMode(error_mode);
  ::DeleteProcThreadAttributeList(attributes);
  if (error != 0) return error;
  process = started.hProcess;
  job = KillingJob();
  if (job != nullptr && !::AssignProcessToJobObject(job, started.hProcess)) {
    Close(job);  // a parent in a job that allows no other (before Windows 8)
  }
  ::ResumeThread(started.hThread);
  ::CloseHandle(started.hThread);
  return 0;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           std::chrono::milliseconds idle_limit, SteadyNow now)
    : system_(std::make_unique<System>()), idle_limit_(idle_limit), now_(std::move(now)) {
  ChildEnds ends;
  DWORD error = 0;
  {
    std::lock_guard<std::mutex> lock(creating);
    ends.out = MakePipe(system_->out);
    if (ends.out != nullptr) ends.err = MakePipe(system_->err);
    if (ends.err != nullptr) {
      SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
      ends.in = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (ends.in == INVALID_HANDLE_VALUE) ends.in = nullptr;
    }
    error =
        ends.in == nullptr ? ::GetLastError() : Start(argv, ends, system_->process, system_->job);
  }
  if (error != 0) throw CannotStart(argv.at(0), WindowsErrorText(error));
}

ChildProcess::~ChildProcess() { Kill(); }

ChildProcess::ReadStatus ChildProcess::ReadFull(char* buffer, size_t size) {
  Reading& out = system_->out;
  while (size > 0) {
    const bool open = out.Poll();
    const std::string_view available = out.Available();
    if (!available.empty()) {
      const size_t taken = std::min(size, available.size());
      std::copy_n(available.data(), taken, buffer);
      out.Take(taken);
      buffer += taken;
      size -= taken;
    } else if (!open) {
      return ReadStatus::kEnd;
    } else if (!WaitForOutput()) {
      return ReadStatus::kStalled;
    }
  }
  return ReadStatus::kData;
}

bool ChildProcess::WaitForOutput() {
  const SteadyTime deadline = now_() + idle_limit_;
  for (;;) {
    // Also starts the read of the errors: a child whose error pipe is full writes nothing more.
    DrainErrors();
    System& system = *system_;
    HANDLE events[2] = {system.out.overlapped.hEvent, system.err.overlapped.hEvent};
    const DWORD count = system.err.pipe != nullptr ? 2 : 1;
    // In slices, so that a run asked to end (whose console event another thread took) does not
    // wait out a silent reader.
    const DWORD ready = ::WaitForMultipleObjects(
        count, events, FALSE, std::min(MillisecondsUntil(deadline, now_()), kInterruptionCheckMs));
    if (ready == WAIT_OBJECT_0) return true;
    if (ready == WAIT_FAILED) return true;  // let the read report the trouble
    if (InterruptingSignal() != 0) {
      Kill();
      return false;
    }
    if (ready == WAIT_TIMEOUT && now_() >= deadline) {
      killed_by_watchdog_ = true;
      Kill();
      return false;
    }
  }
}

void ChildProcess::DrainErrors() {
  System& system = *system_;
  Reading& err = system.err;
  const SteadyTime until = std::chrono::steady_clock::now() +
                           std::chrono::milliseconds(system.ended ? kErrorsAfterEndMs : 0);
  for (;;) {
    const bool open = err.Poll();
    const std::string_view available = err.Available();
    if (!available.empty()) {
      KeepErrors(available);
      err.Take(available.size());
      continue;
    }
    if (!open) return;
    // Once the child has ended, what it wrote before is on its way still: it is awaited briefly.
    const DWORD left = MillisecondsUntil(until, std::chrono::steady_clock::now());
    if (left == 0 || ::WaitForSingleObject(err.overlapped.hEvent, left) != WAIT_OBJECT_0) return;
  }
}

ChildProcess::Ending ChildProcess::Finish() {
  if (reaped_) return ending_;
  const SteadyTime deadline = now_() + idle_limit_;
  for (;;) {
    DrainErrors();
    System& system = *system_;
    HANDLE events[2] = {system.process, system.err.overlapped.hEvent};
    const DWORD count = system.err.pipe != nullptr ? 2 : 1;
    const DWORD ready = ::WaitForMultipleObjects(
        count, events, FALSE, std::min(MillisecondsUntil(deadline, now_()), kInterruptionCheckMs));
    if (ready == WAIT_OBJECT_0 || ready == WAIT_FAILED) break;
    if (ready == WAIT_TIMEOUT && now_() >= deadline) {
      killed_by_watchdog_ = true;
      Kill();
      return ending_;
    }
  }
  DWORD code = 0;
  ::GetExitCodeProcess(system_->process, &code);
  system_->ended = true;
  Reaped(EndingOf(code));
  return ending_;
}

void ChildProcess::Kill() {
  if (system_->process == nullptr || reaped_) return;
  ::TerminateProcess(system_->process, kKilled);
  ::WaitForSingleObject(system_->process, INFINITE);
  DWORD code = kKilled;
  ::GetExitCodeProcess(system_->process, &code);
  system_->ended = true;
  Reaped(EndingOf(code));
}

}  // namespace catpub::platform
