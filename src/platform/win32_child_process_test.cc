// The process layer on Windows with real processes: child_stand_in.exe, built beside this test,
// stands in for the reader (Windows has no shell to hand).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/this_process.h"
#include "platform/utf8_path.h"

namespace catpub::platform {
namespace {

using std::chrono::milliseconds;

std::vector<std::string> StandIn(std::vector<std::string> steps) {
  steps.insert(steps.begin(), Utf8Text(ProgramFile().parent_path() / "child_stand_in.exe"));
  return steps;
}

std::string Output(ChildProcess& child) {
  std::string output;
  char byte;
  while (child.ReadFull(&byte, 1) == ChildProcess::ReadStatus::kData) output += byte;
  return output;
}

// See child_process_test.cc.
SteadyNow Driven(const bool& moving) {
  return [&moving, now = SteadyTime()]() mutable {
    if (moving) now += std::chrono::seconds(20);
    return now;
  };
}

// A crash ends the child with an exception code, which the run takes as a signal on Linux. Under
// Wine, the prefix's crash debugger must be switched off (AeDebug), or it may end the child with 0.
TEST(Win32ChildProcessTest, EachEndingIsSaidInTheShopsWords) {
  const struct {
    std::vector<std::string> steps;
    bool clean;
    const char* description;
  } endings[] = {
      {{"out:fr\nam\nes"}, true, "uscito con stato 0"},
      {{"out:fr\nam\nes", "exit:3"}, false, "uscito con stato 3"},
      {{"out:fr\nam\nes", "crash"},
       false,
       "terminato dall'eccezione 0xC0000005 (accesso alla memoria non valido)"},
  };
  for (const auto& e : endings) {
    ChildProcess child(StandIn(e.steps), milliseconds(20000));
    EXPECT_EQ(Output(child), "fr\nam\nes");  // binary: no "\r\n"
    ChildProcess::Ending ending = child.Finish();
    EXPECT_EQ(ending.clean, e.clean) << e.description;
    EXPECT_EQ(ending.description, e.description);
    EXPECT_FALSE(ending.mapped_file_fault);
  }
}

TEST(Win32ChildProcessTest, TheWatchdogStopsAChildThatNeitherWritesNorEnds) {
  const std::string stalled = "fermato dopo 20 s senza alcun progresso";
  char byte;
  bool moving = true;
  ChildProcess silent(StandIn({"sleep:60000"}), milliseconds(20000), Driven(moving));
  EXPECT_EQ(silent.ReadFull(&byte, 1), ChildProcess::ReadStatus::kStalled);
  EXPECT_EQ(silent.Finish().description, stalled);

  moving = false;
  ChildProcess endless(StandIn({"close", "sleep:60000"}), milliseconds(20000), Driven(moving));
  EXPECT_EQ(endless.ReadFull(&byte, 1), ChildProcess::ReadStatus::kEnd);
  moving = true;
  EXPECT_EQ(endless.Finish().description, stalled);
}

// Each argument arrives whole in UTF-8 through the command line's quoting.
TEST(Win32ChildProcessTest, ArgumentsArriveAsGiven) {
  const std::vector<std::string> argv =
      StandIn({"args", "a b", "", "x\"y", "C:\\cartella con spazi\\", "C:\\Negozi\\Città\\€.mdb"});
  ChildProcess child(argv, milliseconds(20000));
  std::string expected;
  for (const std::string& arg : argv) expected += arg + "\n";
  EXPECT_EQ(Output(child), expected);
  EXPECT_TRUE(child.Finish().clean);
}

TEST(Win32ChildProcessTest, ErrorOutputIsTheBeginningOfStandardErrorOnOneLine) {
  ChildProcess said(StandIn({"err:pagina 3\n\tstrana\n"}), milliseconds(20000));
  said.Finish();
  EXPECT_EQ(said.ErrorOutput(), "pagina 3 | strana");

  ChildProcess flood(StandIn({"flood:3000000"}), milliseconds(20000));
  EXPECT_EQ(Output(flood), "");
  EXPECT_TRUE(flood.Finish().clean);
  EXPECT_EQ(flood.ErrorOutput(), std::string(600, 'e') + " ...");
}

TEST(Win32ChildProcessTest, AProgramThatCannotStartIsNamedWithoutItsFolder) {
  try {
    ChildProcess child({"C:\\nessuna\\cartella\\lettore.exe"}, milliseconds(20000));
    ADD_FAILURE() << "started";
  } catch (const FatalError& error) {
    EXPECT_EQ(ReportLine(error),
              "ERRORE : impossibile avviare il programma lettore.exe: file o cartella inesistente");
  }
}

}  // namespace
}  // namespace catpub::platform
