// The process layer with real processes: shell commands stand in for the reader.
#include "platform/child_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

namespace catpub::platform {
namespace {

using std::chrono::milliseconds;

std::vector<std::string> Shell(const std::string& command) { return {"/bin/sh", "-c", command}; }

// The child's standard output up to its end.
std::string Output(ChildProcess& child) {
  std::string output;
  char byte;
  while (child.ReadFull(&byte, 1) == ChildProcess::ReadStatus::kData) output += byte;
  return output;
}

std::vector<std::string> OpenDescriptors() {
  std::vector<std::string> fds;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    fds.push_back(entry.path().filename());
  }
  std::sort(fds.begin(), fds.end());
  return fds;
}

bool HasChildren() {
  errno = 0;
  return !(::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD);
}

// A clock that stands still until `moving` is set, then moves on 20 s at every look: a watchdog
// of 20 s has then run out at the next look, and the wait for it takes no time.
SteadyNow Driven(const bool& moving) {
  return [&moving, now = SteadyTime()]() mutable {
    if (moving) now += std::chrono::seconds(20);
    return now;
  };
}

TEST(ChildProcessTest, EachEndingIsSaidInTheShopsWordsAndOnlySigbusIsAMappedFileFault) {
  const struct {
    const char* command;
    bool clean;
    const char* description;
    bool mapped_file_fault;
  } endings[] = {
      {"printf frames", true, "uscito con stato 0", false},
      {"printf frames; exit 3", false, "uscito con stato 3", false},
      {"printf frames; kill -SEGV $$", false,
       "terminato dal segnale 11 (accesso alla memoria non valido)", false},
      {"printf frames; kill -BUS $$", false, "terminato dal segnale 7 (errore di bus)", true},
  };
  for (const auto& e : endings) {
    ChildProcess child(Shell(e.command), milliseconds(20000));
    EXPECT_EQ(Output(child), "frames") << e.command;
    ChildProcess::Ending ending = child.Finish();
    EXPECT_EQ(ending.clean, e.clean) << e.command;
    EXPECT_EQ(ending.description, e.description) << e.command;
    EXPECT_EQ(ending.mapped_file_fault, e.mapped_file_fault) << e.command;
  }
  EXPECT_FALSE(HasChildren());
}

// Silent while its output is awaited, or not ending once its output has ended: either way the
// watchdog kills it, and it is reaped.
TEST(ChildProcessTest, TheWatchdogStopsAChildThatNeitherWritesNorEnds) {
  const std::string stalled = "fermato dopo 20 s senza alcun progresso";
  char byte;
  bool moving = true;
  ChildProcess silent(Shell("exec sleep 60"), milliseconds(20000), Driven(moving));
  EXPECT_EQ(silent.ReadFull(&byte, 1), ChildProcess::ReadStatus::kStalled);
  EXPECT_EQ(silent.Finish().description, stalled);

  moving = false;
  ChildProcess endless(Shell("exec >&-; exec sleep 60"), milliseconds(20000), Driven(moving));
  EXPECT_EQ(endless.ReadFull(&byte, 1), ChildProcess::ReadStatus::kEnd);
  moving = true;
  EXPECT_EQ(endless.Finish().description, stalled);
  EXPECT_FALSE(HasChildren());
}

// The child sees only its standard input, output and error, even of a descriptor the parent opened
// without close-on-exec; a child left running is killed and reaped with its process object, and
// the parent's descriptors are as they were.
TEST(ChildProcessTest, NoDescriptorLeaksAndNoChildOutlivesItsObject) {
  const std::vector<std::string> before = OpenDescriptors();
  const int inherited = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(inherited, 0);
  {
    ChildProcess child(Shell("ls /proc/$$/fd"), milliseconds(20000));
    EXPECT_EQ(Output(child), "0\n1\n2\n");
    EXPECT_TRUE(child.Finish().clean);
  }
  ::close(inherited);
  for (int round = 0; round < 3; ++round) {
    ChildProcess child(Shell("exec yes"), milliseconds(20000));
    char line[4];
    ASSERT_EQ(child.ReadFull(line, sizeof line), ChildProcess::ReadStatus::kData);
  }
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_FALSE(HasChildren());
}

TEST(ChildProcessTest, ErrorOutputIsTheBeginningOfStandardErrorOnOneLine) {
  ChildProcess said(Shell("printf 'pagina 3\\n\\tstrana\\n' >&2"), milliseconds(20000));
  said.Finish();
  EXPECT_EQ(said.ErrorOutput(), "pagina 3 | strana");

  ChildProcess flood(Shell("head -c 3000000 /dev/zero | tr '\\000' e >&2"), milliseconds(20000));
  EXPECT_EQ(Output(flood), "");
  flood.Finish();
  EXPECT_EQ(flood.ErrorOutput(), std::string(600, 'e') + " ...");
}

TEST(ChildProcessTest, AProgramThatCannotStartIsNamedWithoutItsFolder) {
  try {
    ChildProcess child({"/nessuna/cartella/lettore"}, milliseconds(20000));
    ADD_FAILURE() << "started";
  } catch (const FatalError& error) {
    EXPECT_EQ(ReportLine(error),
              "ERRORE : impossibile avviare il programma lettore: file o cartella inesistente");
  }
  EXPECT_FALSE(HasChildren());
}

}  // namespace
}  // namespace catpub::platform
