#include "db/read_ahead.h"

namespace catpub::db {

bool ReadAhead::Next(std::vector<Value>& row) {
  if (count_ > 0) {
    row.swap(ahead_[first_]);
    first_ = (first_ + 1) % kMostAhead;
    --count_;
    return true;
  }
  if (failure_) throw *failure_;
  if (cursor_ && cursor_->Next(row)) return true;
  cursor_.reset();
  return false;
}

const std::vector<Value>* ReadAhead::Ahead(size_t distance) {
  if (distance == 0 || distance > kMostAhead) return nullptr;
  while (count_ < distance) {
    if (!cursor_ || failure_) return nullptr;
    std::vector<Value>& row = ahead_[(first_ + count_) % kMostAhead];
    try {
      if (!cursor_->Next(row)) {
        cursor_.reset();
        return nullptr;
      }
    } catch (const FatalError& failure) {
      failure_ = failure;
      return nullptr;
    }
    ++count_;
  }
  return &ahead_[(first_ + distance - 1) % kMostAhead];
}

}  // namespace catpub::db
