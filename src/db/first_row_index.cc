#include "db/first_row_index.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <utility>

#include "db/in_background.h"
#include "db/row_codec.h"
#include "platform/fatal_error.h"

namespace catpub::db {
namespace {

// Row blocks start small (most tables indexed are a few rows) and grow to a few huge pages; a row
// larger than that gets a block of its own.
constexpr size_t kFirstBlockSize = size_t{64} << 10;
constexpr size_t kLargestBlockSize = size_t{4} << 20;
constexpr size_t kMaxBlocks = (size_t{1} << 13) - 1;  // the last block number would read as empty
constexpr size_t kFirstSlots = 1024;
// A table's own count of its rows sizes the slots at once, up to a limit: the count comes from the
// file, and a damaged one must not make the index take more memory than its rows would.
constexpr uint64_t kMostRowsReserved = uint64_t{1} << 21;
constexpr size_t kRowAlignment = 8;
constexpr size_t kPage = 4096;
// Only tables that reach this size (a huge page) are worth a thread.
constexpr size_t kPreparedAtLeast = size_t{2} << 20;

}  // namespace

void FirstRowIndex::Insert(int64_t key, std::string_view row) { Enqueue(key, Store(row)); }

void FirstRowIndex::Enqueue(int64_t key, Location location) {
  if (pending_count_ == kPending) {
    Place(pending_[pending_start_]);
    pending_start_ = (pending_start_ + 1) % kPending;
    --pending_count_;
  }
  // Grow at three quarters full, so that probe runs stay short.
  if ((size_ + pending_count_ + 1) * 4 > slot_count_ * 3)
    Resize(std::max(2 * slot_count_, kFirstSlots));
  if (Narrow(key)) __builtin_prefetch(&slots_[HomeSlot(static_cast<int32_t>(key))], 1);
  pending_[(pending_start_ + pending_count_++) % kPending] = Pending{key, location};
}

void FirstRowIndex::Absorb(FirstRowIndex&& later) {
  if (blocks_.size() + later.blocks_.size() > kMaxBlocks) {
    throw FatalError("più righe di quante un indice ne contenga (32 GB)");
  }
  // Later's rows stay where they are; their blocks are numbered after this index's.
  const auto moved = static_cast<Location>(blocks_.size() << kOffsetBits);
  for (Block& block : later.blocks_) blocks_.push_back(std::move(block));
  for (size_t i = 0; i < later.slot_count_; ++i) {
    const Slot& slot = later.slots_[i];
    if (slot.location != kEmpty) Enqueue(slot.key, slot.location + moved);
  }
  for (const auto& [key, location] : later.wide_keys_) Enqueue(key, location + moved);
  Finish();
  later = FirstRowIndex();
}

void FirstRowIndex::Finish() {
  for (; pending_count_ > 0; --pending_count_) {
    Place(pending_[pending_start_]);
    pending_start_ = (pending_start_ + 1) % kPending;
  }
  next_block_ = Prepared{};  // no more rows to hold
}

void FirstRowIndex::Place(const Pending& row) {
  if (!Narrow(row.key)) {
    size_ += wide_keys_.try_emplace(row.key, row.location).second ? 1 : 0;
    return;
  }
  Slot& slot = slots_[SlotFor(static_cast<int32_t>(row.key))];
  if (slot.location != kEmpty) return;  // a row stored earlier has this key
  slot = Slot{static_cast<int32_t>(row.key), row.location};
  ++size_;
}

std::optional<std::string_view> FirstRowIndex::Find(int64_t key) const {
  if (!Narrow(key)) {
    auto found = wide_keys_.find(key);
    if (found == wide_keys_.end()) return std::nullopt;
    return RowAt(found->second);
  }
  if (slot_count_ == 0) return std::nullopt;
  const Slot& slot = slots_[SlotFor(static_cast<int32_t>(key))];
  if (slot.location == kEmpty) return std::nullopt;
  return RowAt(slot.location);
}

// Fetches the first few cache lines of a row at once rather than one after the other, as its
// decoding would ask for them. A prefetch never faults, even past the end of the block. Inlined
// by force: a function that only prefetches looks free of effects to the optimizer, which then
// drops the calls to it.
[[gnu::always_inline]] inline void FirstRowIndex::PrefetchRow(Location location) const {
  const char* row = blocks_[location >> kOffsetBits].bytes.data() +
                    size_t{location & ((Location{1} << kOffsetBits) - 1)} * kRowAlignment;
  __builtin_prefetch(row);
  __builtin_prefetch(row + 64);
  __builtin_prefetch(row + 128);
  __builtin_prefetch(row + 192);
}

void FirstRowIndex::PrefetchFor(int64_t key, Prefetch what) const {
  if (!Narrow(key) || slot_count_ == 0) return;
  const size_t home = HomeSlot(static_cast<int32_t>(key));
  if (what == Prefetch::kSlot) {
    __builtin_prefetch(&slots_[home]);
    return;
  }
  // Most keys sit in their home slot; a key further along is simply not fetched early.
  const Slot& slot = slots_[home];
  if (slot.location != kEmpty && slot.key == key) PrefetchRow(slot.location);
}

std::string_view FirstRowIndex::RowAt(Location location) const {
  PrefetchRow(location);  // the caller decodes the row next
  const Block& block = blocks_[location >> kOffsetBits];
  size_t pos = size_t{location & ((Location{1} << kOffsetBits) - 1)} * kRowAlignment;
  std::string_view bytes(block.bytes.data(), block.used);
  auto length = static_cast<size_t>(*ReadVarint(bytes, pos));
  return bytes.substr(pos, length);
}

// Where the search for `key` starts (Fibonacci hashing).
size_t FirstRowIndex::HomeSlot(int32_t key) const {
  return (static_cast<uint64_t>(static_cast<uint32_t>(key)) * 0x9E3779B97F4A7C15ull) >> shift_;
}

// The slot holding `key`, or the empty slot where it belongs (linear probing).
size_t FirstRowIndex::SlotFor(int32_t key) const {
  size_t mask = slot_count_ - 1;
  size_t slot = HomeSlot(key);
  while (slots_[slot].location != kEmpty && slots_[slot].key != key) slot = (slot + 1) & mask;
  return slot;
}

void FirstRowIndex::Reserve(uint64_t rows) {
  rows = std::min(rows, kMostRowsReserved);
  if (slot_count_ != 0 || rows == 0) return;
  Resize(std::max(std::bit_ceil(rows * 4 / 3 + 1), uint64_t{kFirstSlots}));
}

void FirstRowIndex::Resize(size_t count) {
  platform::MappedMemory old_memory = std::move(slot_memory_);
  const Slot* old = slots_;
  const size_t old_count = slot_count_;
  slot_count_ = count;
  slot_memory_ = platform::MappedMemory(slot_count_ * sizeof(Slot));
  slots_ = reinterpret_cast<Slot*>(slot_memory_.data());
  std::fill_n(slots_, slot_count_, Slot{0, kEmpty});
  shift_ = 64 - std::countr_zero(slot_count_);
  for (size_t i = 0; i < old_count; ++i) {
    if (old[i].location != kEmpty) slots_[SlotFor(old[i].key)] = old[i];
  }
}

FirstRowIndex::Location FirstRowIndex::Store(std::string_view row) {
  std::string prefix;
  AppendVarint(prefix, row.size());
  const size_t needed = prefix.size() + row.size();
  size_t start =
      blocks_.empty() ? 0 : (blocks_.back().used + kRowAlignment - 1) & ~(kRowAlignment - 1);
  if (blocks_.empty() || blocks_.back().capacity < start + needed) {
    AddBlock(needed);
    start = 0;
  }
  Block& block = blocks_.back();
  std::memcpy(block.bytes.data() + start, prefix.data(), prefix.size());
  std::memcpy(block.bytes.data() + start + prefix.size(), row.data(), row.size());
  block.used = start + needed;
  return static_cast<Location>((blocks_.size() - 1) << kOffsetBits) |
         static_cast<Location>(start / kRowAlignment);
}

// A new last block for a row of `needed` bytes: the one made ready when it is large enough. Once
// blocks are large, the next one is made ready at once.
void FirstRowIndex::AddBlock(size_t needed) {
  if (blocks_.size() == kMaxBlocks)
    throw FatalError("più righe di quante un indice ne contenga (32 GB)");
  const size_t block_size =
      blocks_.empty() ? kFirstBlockSize : std::min(2 * blocks_.back().capacity, kLargestBlockSize);
  size_t capacity = std::max(block_size, needed);
  platform::MappedMemory bytes;
  if (next_block_.mapping.valid()) {
    platform::MappedMemory prepared = next_block_.mapping.get();
    if (next_block_.bytes >= needed) {
      bytes = std::move(prepared);
      capacity = next_block_.bytes;
    }
  }
  if (!bytes.data()) bytes = platform::MappedMemory(capacity);
  blocks_.push_back(Block{std::move(bytes), 0, capacity});
  const size_t next_size = std::min(2 * capacity, kLargestBlockSize);
  if (next_size >= kPreparedAtLeast) {
    next_block_.bytes = next_size;
    // Mapped and faulted in (one write a page) on another thread, so that the kernel clears the
    // pages there.
    next_block_.mapping = InBackground([next_size] {
      platform::MappedMemory mapping(next_size);
      for (size_t at = 0; at < mapping.size(); at += kPage) mapping.data()[at] = 0;
      return mapping;
    });
  }
}

}  // namespace catpub::db
