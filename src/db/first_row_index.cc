#include "db/first_row_index.h"

#include <sys/mman.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <utility>

#include "db/row_codec.h"

namespace catpub::db {
namespace {

constexpr size_t kHugePage = size_t{2} << 20;
// Row blocks start small (most tables indexed are a few rows) and grow to a few huge pages.
constexpr size_t kFirstBlockSize = size_t{64} << 10;
constexpr size_t kLargestBlockSize = 2 * kHugePage;
constexpr size_t kFirstSlots = 1024;

}  // namespace

FirstRowIndex::Mapping::Mapping(size_t bytes) {
  const bool huge = bytes >= kHugePage;
  const size_t granule = huge ? kHugePage : size_t{4096};
  size_ = (bytes + granule - 1) / granule * granule;
  // Huge pages need a huge-page boundary: map one more, then give back what lies outside.
  const size_t extra = huge ? kHugePage : 0;
  void* mapped = ::mmap(nullptr, size_ + extra, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  data_ = static_cast<char*>(mapped);
  if (!huge) return;
  auto address = reinterpret_cast<uintptr_t>(mapped);
  uintptr_t aligned = (address + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > address) ::munmap(mapped, aligned - address);
  ::munmap(reinterpret_cast<void*>(aligned + size_), address + kHugePage - aligned);
  data_ = reinterpret_cast<char*>(aligned);
  ::madvise(data_, size_, MADV_HUGEPAGE);  // a wish; without huge pages all works the same
}

FirstRowIndex::Mapping::~Mapping() {
  if (data_) ::munmap(data_, size_);
}

FirstRowIndex::Mapping::Mapping(Mapping&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

FirstRowIndex::Mapping& FirstRowIndex::Mapping::operator=(Mapping&& other) noexcept {
  if (this != &other) {
    if (data_) ::munmap(data_, size_);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

bool FirstRowIndex::Insert(int64_t key, std::string_view row) {
  // Grow at three quarters full, so that probe runs stay short.
  if ((size_ + 1) * 4 > slot_count_ * 3) Grow();
  size_t slot = SlotFor(key);
  if (slots_[slot].location != kEmpty) return false;
  slots_[slot] = Slot{key, Store(row)};
  ++size_;
  return true;
}

std::optional<std::string_view> FirstRowIndex::Find(int64_t key) const {
  if (slot_count_ == 0) return std::nullopt;
  const Slot& slot = slots_[SlotFor(key)];
  if (slot.location == kEmpty) return std::nullopt;
  const Block& block = blocks_[slot.location >> 32];
  size_t pos = slot.location & 0xffffffff;
  // The caller decodes the row next: fetch its first few cache lines at once rather than one
  // after the other (lookups land anywhere, so each line is a trip to memory).
  for (size_t line = 0; line < 4; ++line) {
    __builtin_prefetch(block.bytes.data() + std::min(pos + 64 * line, block.used - 1));
  }
  std::string_view bytes(block.bytes.data(), block.used);
  auto length = static_cast<size_t>(*ReadVarint(bytes, pos));
  return bytes.substr(pos, length);
}

// The slot holding `key`, or the empty slot where it belongs (Fibonacci hashing, linear probing).
size_t FirstRowIndex::SlotFor(int64_t key) const {
  size_t mask = slot_count_ - 1;
  size_t slot = (static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull) >> shift_;
  while (slots_[slot].location != kEmpty && slots_[slot].key != key) slot = (slot + 1) & mask;
  return slot;
}

void FirstRowIndex::Grow() { Rehash(slot_count_ == 0 ? kFirstSlots : slot_count_ * 2); }

void FirstRowIndex::Reserve(size_t keys) {
  // The same load limit as Insert: at most three quarters of the slots used.
  size_t wanted = std::bit_ceil(std::max(kFirstSlots, keys + keys / 3 + 2));
  if (wanted > slot_count_) Rehash(wanted);
}

void FirstRowIndex::Rehash(size_t slot_count) {
  Mapping old_memory = std::move(slot_memory_);
  const Slot* old = slots_;
  const size_t old_count = slot_count_;
  slot_count_ = slot_count;
  slot_memory_ = Mapping(slot_count_ * sizeof(Slot));
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
  size_t needed = prefix.size() + row.size();
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < needed) {
    size_t block_size = blocks_.empty() ? kFirstBlockSize
                                        : std::min(2 * blocks_.back().capacity, kLargestBlockSize);
    size_t capacity = std::max(block_size, needed);
    blocks_.push_back(Block{Mapping(capacity), 0, capacity});
  }
  Block& block = blocks_.back();
  Location location = (Location{blocks_.size() - 1} << 32) | block.used;
  std::memcpy(block.bytes.data() + block.used, prefix.data(), prefix.size());
  std::memcpy(block.bytes.data() + block.used + prefix.size(), row.data(), row.size());
  block.used += needed;
  return location;
}

}  // namespace catpub::db
