// The table source against stand-ins for the reader (shell scripts that crash, hang, babble or
// lie) and a signal that ends the run: what the process layer must survive without leaving a
// process or a descriptor behind. POSIX only: the stand-ins are shell scripts, the checks read
// /proc and wait for children.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "db/mdb_table_source.h"
#include "db/mdb_table_source_fixture.h"
#include "platform/interruption.h"

namespace catpub::db {
namespace {

using mdbwriter::ColumnType;
using std::chrono::milliseconds;

std::vector<int> OpenDescriptors() {
  std::vector<int> fds;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    fds.push_back(std::stoi(entry.path().filename()));
  }
  std::sort(fds.begin(), fds.end());
  return fds;
}

bool HasChildren() {
  errno = 0;
  return !(::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD);
}

class StandInReaderTest : public MdbTableSourceTest {
 protected:
  // An executable shell script standing in for the reader.
  std::filesystem::path Script(const std::string& name, const std::string& body) {
    std::filesystem::path script = root_ / name;
    Put(script, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    return script;
  }
};

// ---- Readers that crash, hang, babble or lie -----------------------------------------------

TEST_F(StandInReaderTest, ReaderThatCrashesHangsOrBabbles) {
  Write({{"codean", {{"codare", ColumnType::kLong}}, {{int32_t{1}}}, {}}});
  // Readers meant to hang meet a short watchdog, or one whose clock moves on 10 s at every look
  // (driven), which stops them after a look or two; the others a long one on the real clock, which
  // a slow machine cannot reach by accident.
  const milliseconds short_idle(500), long_idle(10000), driven(20000);
  const struct {
    const char* name;
    const char* body;
    milliseconds idle;
    const char* expected;
  } readers[] = {
      {"crash", "kill -SEGV $$", long_idle,
       "il lettore è terminato dal segnale 11 (accesso alla memoria non valido)"},
      {"hang", "exec sleep 60", driven, "fermato dopo 20 s senza alcun progresso"},
      {"complain", "echo 'libmdb: page 3 is odd' >&2; exit 1", long_idle,
       "il lettore è uscito con stato 1 (messaggi del lettore: libmdb: page 3 is odd)"},
      {"flood", "head -c 3000000 /dev/zero | tr '\\000' e >&2; exec sleep 60", short_idle,
       "eeee ..."},
      {"garbage", "printf 'Z0000'", long_idle, "blocco malformato"},
      // A header of one column "a" and 2 rows stored, then an end after no rows.
      {"short",
       "printf 'H\\010\\000\\000\\000\\002\\000\\000\\000\\001\\000\\001a"
       "E\\020\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000\\000"
       "\\000\\000\\000\\000\\000\\000\\000\\000'",
       long_idle, "la tabella codean contiene 2 righe ma se ne leggono 0"},
      // A header of one column "a", then rows of Null without end, as a walk that takes the same
      // pages again and again would send them.
      {"runaway",
       "printf 'H\\010\\000\\000\\000\\001\\000\\000\\000\\001\\000\\001a'\n"
       "while printf 'R\\005\\000\\000\\000\\001\\000\\000\\000\\000'; do :; done",
       long_idle, "dà più righe di quante ne possano stare nelle"},
      // A header of one column "a", then nothing.
      {"stall", "printf 'H\\010\\000\\000\\000\\001\\000\\000\\000\\001\\000\\001a'; exec sleep 60",
       driven, "senza alcun progresso"},
  };
  const std::vector<int> descriptors = OpenDescriptors();
  for (const auto& r : readers) {
    const bool moved_on = r.idle == driven;
    platform::SteadyNow clock = std::chrono::steady_clock::now;
    if (moved_on) {
      clock = [now = std::chrono::steady_clock::time_point()]() mutable {
        return now += std::chrono::seconds(10);
      };
    }
    MdbTableSource source = Source(r.idle, Script(r.name, r.body), clock);
    std::string message = Failure(source, "codean", moved_on ? kSlack : r.idle + kSlack);
    EXPECT_TRUE(
        message.starts_with("database danneggiato o illeggibile: C:\\ORBIS\\DATI.MDB, "
                            "tabella codean: "))
        << message;
    EXPECT_NE(message.find(r.expected), std::string::npos) << r.name << ": " << message;
    EXPECT_LT(message.size(), 1000u) << r.name;
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_FALSE(HasChildren());
}

// A file that gets shorter while a reader maps it kills the reader with SIGBUS at the first page
// past the new end; that is said as such. A SIGBUS with the file unchanged is only a signal.
TEST_F(StandInReaderTest, AFileThatGetsShorterWhileReadIsNamedSo) {
  Write({{"codean", {{"codare", ColumnType::kLong}}, {{int32_t{1}}}, {}}});
  const uintmax_t size = std::filesystem::file_size(Local(kData));
  MdbTableSource shortened = Source(milliseconds(10000), Script("shorten",
                                                                "truncate -s 4096 \"$2\"\n"
                                                                "kill -BUS $$"));
  EXPECT_EQ(Failure(shortened, "codean", kSlack),
            "database danneggiato o illeggibile: C:\\ORBIS\\DATI.MDB, tabella codean: il file si è "
            "accorciato (da " +
                std::to_string(size) + " a 4096 byte) mentre il lettore lo leggeva");
  Write({{"codean", {{"codare", ColumnType::kLong}}, {{int32_t{1}}}, {}}});
  MdbTableSource bus = Source(milliseconds(10000), Script("bus", "kill -BUS $$"));
  EXPECT_NE(
      Failure(bus, "codean", kSlack).find("il lettore è terminato dal segnale 7 (errore di bus)"),
      std::string::npos);
}

// A run that a signal asks to end does not wait out a silent reader's watchdog: the reader is ended
// at once. In a process of its own, which the signal marks for good.
TEST_F(StandInReaderTest, ASignalEndsTheWaitForASilentReader) {
  Write({{"codean", {{"codare", ColumnType::kLong}}, {{int32_t{1}}}, {}}});
  const std::filesystem::path silent = Script("silent", "exec sleep 60");
  EXPECT_EXIT(
      {
        platform::CatchInterruptions();
        MdbTableSource source = Source(milliseconds(20000), silent);
        std::thread signal([] {
          std::this_thread::sleep_for(milliseconds(300));
          kill(getpid(), SIGTERM);
        });
        const auto start = std::chrono::steady_clock::now();
        bool failed = false;
        try {
          ReadAll(source, "codean");
        } catch (const FatalError&) {
          failed = true;
        }
        signal.join();
        const bool quick = std::chrono::steady_clock::now() - start < std::chrono::seconds(10);
        std::fprintf(stderr, "failed %d quick %d children %d\n", failed, quick, HasChildren());
        std::exit(failed && quick && !HasChildren() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "failed 1 quick 1 children 0");
}

TEST_F(StandInReaderTest, AbandonedAndFinishedReadersLeaveNoProcessOrDescriptor) {
  int32_t next = 0;
  Write({{"righe",
          {{"codice", ColumnType::kLong}, {"nome", ColumnType::kText, 50}},
          {},
          [&next](std::vector<Value>& row) {
            if (next == 50000) return false;
            row = {int32_t{next}, LongText(50, "x" + std::to_string(next++))};
            return true;
          }}});
  MdbTableSource source = Source();
  const std::vector<int> descriptors = OpenDescriptors();
  for (int round = 0; round < 3; ++round) {
    std::unique_ptr<RowCursor> cursor = source.OpenTable(kData, "righe");
    std::vector<Value> row;
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(cursor->Next(row));
  }
  EXPECT_EQ(ReadAll(source, "righe").size(), 50000u);
  EXPECT_THROW(ReadAll(source, "nessuna"), FatalError);
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_FALSE(HasChildren());
}

}  // namespace
}  // namespace catpub::db
