// A stand-in for the reader in the process layer's tests on Windows, where no shell is at hand:
// each argument is one step, taken in order.
//   out:TEXT   writes TEXT on standard output      err:TEXT   writes TEXT on standard error
//   flood:N    writes N bytes "e" on standard error args       writes its arguments, one a line
//   close      closes standard output              sleep:MS   sleeps MS milliseconds
//   exit:N     exits with status N                 crash      reads address 0
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/arguments.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args = catpub::platform::Utf8Arguments(argc, argv);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  auto write = [](std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
  };
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string_view step = args[i];
    const size_t colon = step.find(':');
    const std::string_view verb = step.substr(0, colon);
    const std::string value(colon == step.npos ? std::string_view() : step.substr(colon + 1));
    if (verb == "out") {
      write(value);
    } else if (verb == "err") {
      std::fputs(value.c_str(), stderr);
      std::fflush(stderr);
    } else if (verb == "flood") {
      const std::string flood(std::stoul(value), 'e');
      std::fwrite(flood.data(), 1, flood.size(), stderr);
      std::fflush(stderr);
    } else if (verb == "args") {
      for (const std::string& arg : args) write(arg + "\n");
    } else if (verb == "close") {
      // The C library's close may leave the system's handle open (Wine's does).
      const HANDLE handle = ::GetStdHandle(STD_OUTPUT_HANDLE);
      std::fclose(stdout);
      ::CloseHandle(handle);
    } else if (verb == "sleep") {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::stoul(value)));
    } else if (verb == "exit") {
      std::fflush(stderr);
      std::_Exit(std::stoi(value));
    } else if (verb == "crash") {
      volatile int* nowhere = nullptr;
      return *nowhere;
    }
  }
  return 0;
}
