// The export's lines are composed and written on a thread of their own while the walk looks up the
// next articles. The walk fills one ExportRow per line (Next, then Commit); the thread turns each
// into its line (ComposeLine) and writes it to the export file, in the order committed. Rows travel
// in batches of a few hundred, so the two threads meet only once a batch.
//
// From construction until Finish returns or the writer is destroyed, only the writer may use
// `files`: its thread writes to them.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/numbered_files.h"
#include "publish/export_failure.h"
#include "publish/export_row.h"

namespace catpub::publish {

class ExportWriter {
 public:
  // One line to be: its fields, and where the walk was, for a message if it fails.
  struct Line {
    ExportRow row;
    WalkPlace place;
  };

  ExportWriter(platform::NumberedFiles& files, int file_number);
  ExportWriter(const ExportWriter&) = delete;
  ExportWriter& operator=(const ExportWriter&) = delete;
  // Stops the thread; lines not written yet are dropped, as after a failed export they must be.
  ~ExportWriter();

  // The line to fill; the same one until Commit. Lines are reused: its row has codafo all blanks
  // and the supplier number 0, as a price row whose codafo is Null leaves them, and every other
  // field holds what an earlier line left, to be assigned.
  Line& Next() {
    Line& line = batches_[filled_ % kBatches][count_];
    line.row.codafo.Clear();
    line.row.supplier_number = 0;
    return line;
  }
  // The line filled is to be written. Throws the FatalError of an earlier line that could not be
  // composed or written.
  void Commit() {
    if (++count_ == kBatchLines) Handover();
  }
  // Waits until every line committed is written. Throws the first failure of a line; the file
  // itself is left open.
  void Finish();

 private:
  static constexpr size_t kBatchLines = 512;
  static constexpr size_t kBatches = 4;
  using Batch = std::vector<Line>;

  void Handover();
  void Run();
  void Write(const Batch& batch, size_t count);

  platform::NumberedFiles& files_;
  const int file_number_;
  std::array<Batch, kBatches> batches_;
  size_t filled_ = 0;  // batches handed over by the walk
  size_t count_ = 0;   // lines committed in the batch being filled
  std::string text_;   // the line being written, reused

  std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_:
  size_t handed_ = 0;                         // batches given to the thread
  size_t written_ = 0;                        // batches it has written
  std::array<size_t, kBatches> counts_ = {};  // lines in each batch handed over
  std::exception_ptr failure_;                // the first line that failed
  bool stopping_ = false;
  std::thread thread_;  // not running when no thread could be started: lines are then written
                        // by Commit itself
};

}  // namespace catpub::publish
