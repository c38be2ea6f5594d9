// Everything Form1 and the run talk to, as fakes wired to one another the way main.cc wires the
// real parts: the files on one in-memory disk, the run log on those files and a fixed clock, the
// tables in memory, a recording window and a recording FTP control. The app's test fixtures derive
// from it and build Form1 on these members.
#pragma once

#include "fakes/fake_platform.h"
#include "fakes/in_memory_tables.h"
#include "fakes/recording_ftp_control.h"
#include "fakes/recording_window.h"
#include "log/run_log.h"

namespace catpub::testing {

class FakeAppPlatform {
 protected:
  FakeDisk disk_;
  FakeFileSystem fs_{disk_};
  FakeNumberedFiles files_{disk_};
  FakeClock clock_;
  log::RunLog run_log_{files_, clock_};
  InMemoryTables tables_;
  RecordingWindow window_;
  RecordingFtpControl ftp_;
};

}  // namespace catpub::testing
