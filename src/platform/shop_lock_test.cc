#include "platform/shop_lock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/fatal_error.h"
#include "platform/folder_handle.h"
#include "platform/windows_file_system.h"
#include "support/temp_dir.h"

namespace catpub::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

constexpr std::chrono::milliseconds kNoWait{0};

class FolderLockTest : public ::testing::Test {
 protected:
  fs::path Orbis() const { return dir_.path() / "c/orbis"; }
  // True when another run could lock the folder now. The lock belongs to the open folder, not to
  // the process, so this open of the folder stands for another run's.
  bool LockableElsewhere() const {
    FolderHandle other_run;
    return other_run.Open(Orbis()).status == FolderHandle::Status::kDone &&
           other_run.TryLock().status == FolderHandle::Status::kDone;
  }
  // What a lock on C:\orbis that waits for nothing reports when it refuses the run; empty when it
  // takes the shop (and lets it go again).
  std::string Refusal() {
    FolderLock lock(fs_, "C:\\orbis", kNoWait);
    const std::optional<FatalError> refused = lock.Take();
    return refused ? ReportLine(*refused) : "";
  }

  TempDir dir_;
  WindowsFileSystem fs_{dir_.path(), dir_.path()};
};

// The run holding the shop still lists its folder (the leftovers of a killed run are found so),
// and once it lets go, nothing of the lock is left in it.
TEST_F(FolderLockTest, HoldsTheShopsFolderUntilItIsDestroyed) {
  fs::create_directories(Orbis());
  std::ofstream(Orbis() / "articoli.csv") << "x";
  {
    FolderLock lock(fs_, "C:\\ORBIS", kNoWait);
    EXPECT_FALSE(lock.Take().has_value());
    EXPECT_FALSE(LockableElsewhere());
    const std::vector<std::string> listed = fs_.ListFiles("C:\\orbis");
    EXPECT_NE(std::find(listed.begin(), listed.end(), "articoli.csv"), listed.end());
  }
  EXPECT_TRUE(LockableElsewhere());
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(Orbis())) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>{"articoli.csv"});
}

TEST_F(FolderLockTest, AFolderHeldElsewhereRefusesTheRunOnceTheWaitRunsOut) {
  fs::create_directories(Orbis());
  FolderLock other_run(fs_, "C:\\orbis", kNoWait);
  ASSERT_FALSE(other_run.Take().has_value());

  EXPECT_EQ(Refusal(),
            "ERRORE : un'altra esecuzione del programma occupa C:\\orbis da oltre 0 secondi: "
            "questa esecuzione non parte");
}

// The wait is measured by the lock's clock, here one that moves on 10 s at every look, and the
// pauses between tries are the lock's sleep: no real time passes.
TEST_F(FolderLockTest, ARunWaitsForTheOtherUntilItEndsOrTheWaitRunsOut) {
  fs::create_directories(Orbis());
  auto other_run = std::make_unique<FolderLock>(fs_, "C:\\orbis", kNoWait);
  ASSERT_FALSE(other_run->Take().has_value());
  auto clock = [now = SteadyTime()]() mutable { return now += std::chrono::seconds(10); };
  std::vector<std::chrono::milliseconds> pauses;
  auto sleep = [&pauses](std::chrono::milliseconds pause) { pauses.push_back(pause); };

  FolderLock waiting(fs_, "C:\\orbis", std::chrono::seconds(30), clock, sleep);
  const std::optional<FatalError> refused = waiting.Take();
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(ReportLine(*refused),
            "ERRORE : un'altra esecuzione del programma occupa C:\\orbis da oltre 30 secondi: "
            "questa esecuzione non parte");
  EXPECT_EQ(pauses.size(), 2u);

  // The other run ends during the first pause: the shop is this run's at the next try.
  FolderLock patient(fs_, "C:\\orbis", std::chrono::seconds(30), clock,
                     [&other_run](std::chrono::milliseconds) { other_run.reset(); });
  EXPECT_FALSE(patient.Take().has_value());
  EXPECT_FALSE(LockableElsewhere());
}

// A shop without its folder has nothing a run could write there.
TEST_F(FolderLockTest, AShopWithoutTheFolderRunsUnlocked) { EXPECT_EQ(Refusal(), ""); }

// Anything else that keeps the folder from being locked refuses the run, as a wait that ran out
// does: a run never goes on unlocked.
TEST_F(FolderLockTest, AFolderThatCannotBeOpenedRefusesTheRun) {
  const struct {
    const char* what;
    void (*make)(const fs::path& orbis);
    std::string reason;
  } cases[] = {
      {"a file where the folder should be",
       [](const fs::path& orbis) { std::ofstream(orbis) << "x"; },
       "una parte del percorso non è una cartella"},
#ifndef _WIN32  // Windows gives no ordinary account the right to make links
      {"a link that leads back to itself",
       [](const fs::path& orbis) { fs::create_symlink("orbis", orbis); },
       "troppi collegamenti simbolici nel percorso"},
#endif
  };
  fs::create_directories(Orbis().parent_path());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(Orbis());
    c.make(Orbis());
    EXPECT_EQ(Refusal(), "ERRORE : impossibile bloccare la cartella C:\\orbis: " + c.reason);
  }
}

}  // namespace
}  // namespace catpub::platform
