#include "publish/export_writer.h"

#include <system_error>

namespace catpub::publish {

ExportWriter::ExportWriter(platform::NumberedFiles& files, int file_number)
    : files_(files), file_number_(file_number) {
  for (Batch& batch : batches_) batch.resize(kBatchLines);
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    // No thread to spare: Commit writes each batch itself.
  }
}

ExportWriter::~ExportWriter() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void ExportWriter::Handover() {
  const size_t count = count_;
  count_ = 0;
  if (!thread_.joinable()) {
    Write(batches_[filled_ % kBatches], count);
    return;
  }
  std::unique_lock lock(mutex_);
  counts_[filled_ % kBatches] = count;
  handed_ = ++filled_;
  changed_.notify_all();
  // The next batch to fill must have been written.
  changed_.wait(lock, [this] { return handed_ - written_ < kBatches || failure_; });
  if (failure_) std::rethrow_exception(failure_);
}

void ExportWriter::Finish() {
  if (count_ > 0) Handover();
  if (!thread_.joinable()) return;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return written_ == handed_ || failure_; });
  stopping_ = true;
  changed_.notify_all();
  lock.unlock();
  thread_.join();
  if (failure_) std::rethrow_exception(failure_);
}

void ExportWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || written_ < handed_; });
    if (stopping_) return;
    const size_t batch = written_ % kBatches;
    const size_t count = counts_[batch];
    lock.unlock();
    std::exception_ptr failure;
    try {
      Write(batches_[batch], count);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    ++written_;
    changed_.notify_all();
    if (failure) {
      failure_ = failure;
      return;
    }
  }
}

void ExportWriter::Write(const Batch& batch, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const Line& line = batch[i];
    try {
      if (!ComposeLine(line.row, text_)) throw NoText("listi01", "ricart");
      files_.WriteLine(file_number_, text_);
    } catch (FatalError& error) {
      AddPlace(error, line.place);
      throw;
    }
  }
}

}  // namespace catpub::publish
