#include "db/first_row_index.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "db/row_codec.h"

namespace catpub::db {
namespace {

constexpr size_t kBlockSize = size_t{1} << 20;
constexpr size_t kFirstSlots = 1024;

}  // namespace

bool FirstRowIndex::Insert(int64_t key, std::string_view row) {
  // Grow at three quarters full, so that probe runs stay short.
  if ((size_ + 1) * 4 > slots_.size() * 3) Grow();
  size_t slot = SlotFor(key);
  if (slots_[slot].location != kEmpty) return false;
  slots_[slot] = Slot{key, Store(row)};
  ++size_;
  return true;
}

std::optional<std::string_view> FirstRowIndex::Find(int64_t key) const {
  if (slots_.empty()) return std::nullopt;
  const Slot& slot = slots_[SlotFor(key)];
  if (slot.location == kEmpty) return std::nullopt;
  const Block& block = blocks_[slot.location >> 32];
  size_t pos = slot.location & 0xffffffff;
  std::string_view bytes(block.bytes.get(), block.used);
  auto length = static_cast<size_t>(*ReadVarint(bytes, pos));
  return bytes.substr(pos, length);
}

// The slot holding `key`, or the empty slot where it belongs (Fibonacci hashing, linear probing).
size_t FirstRowIndex::SlotFor(int64_t key) const {
  size_t mask = slots_.size() - 1;
  size_t slot = (static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull) >> shift_;
  while (slots_[slot].location != kEmpty && slots_[slot].key != key) slot = (slot + 1) & mask;
  return slot;
}

void FirstRowIndex::Grow() {
  std::vector<Slot> old = std::move(slots_);
  size_t count = old.empty() ? kFirstSlots : old.size() * 2;
  slots_.assign(count, Slot{0, kEmpty});
  shift_ = 64 - std::countr_zero(count);
  for (const Slot& slot : old) {
    if (slot.location != kEmpty) slots_[SlotFor(slot.key)] = slot;
  }
}

FirstRowIndex::Location FirstRowIndex::Store(std::string_view row) {
  std::string prefix;
  AppendVarint(prefix, row.size());
  size_t needed = prefix.size() + row.size();
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < needed) {
    size_t capacity = std::max(kBlockSize, needed);
    // Left uninitialised: pages of the block take memory only once rows are copied in.
    blocks_.push_back(Block{std::unique_ptr<char[]>(new char[capacity]), 0, capacity});
  }
  Block& block = blocks_.back();
  Location location = (Location{blocks_.size() - 1} << 32) | block.used;
  std::memcpy(block.bytes.get() + block.used, prefix.data(), prefix.size());
  std::memcpy(block.bytes.get() + block.used + prefix.size(), row.data(), row.size());
  block.used += needed;
  return location;
}

}  // namespace catpub::db
