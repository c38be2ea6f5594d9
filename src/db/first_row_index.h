// The first stored row for each whole-number key of a table, held compactly: rows stay in their
// encoded form (db/row_codec.h) in large blocks of memory, and keys map to them through one flat
// open-addressing table of 8-byte slots. A million-row price list takes about its encoded size
// plus 16 MB, and a lookup costs two trips to memory: the key's slot, then its row. Fresh memory is
// costly to fault in (the kernel clears every page first): once the index is large, its next row
// block is mapped and faulted in on another thread while it fills the current one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <future>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/mapped_memory.h"

namespace catpub::db {

class FirstRowIndex {
 public:
  FirstRowIndex() = default;
  FirstRowIndex(const FirstRowIndex&) = delete;
  FirstRowIndex& operator=(const FirstRowIndex&) = delete;
  FirstRowIndex(FirstRowIndex&&) = default;
  FirstRowIndex& operator=(FirstRowIndex&&) = default;

  // Offers the next row in stored order: a copy of `row` is kept for `key` unless an earlier row
  // has that key. Rows offered are stored at once and their keys placed a few rows later, so that
  // the place of each key is fetched from memory while other rows are handled; the row of a key
  // seen before is left unused (it cannot make the index larger than the table). Throws FatalError
  // beyond 32 GB of rows.
  void Insert(int64_t key, std::string_view row);
  // Sizes the slots for about `rows` keys, before the first Insert: a large table then spares the
  // index growing its slots again and again. A hint only; any number of rows can still be offered.
  void Reserve(uint64_t rows);
  // Places the keys still pending; call once after the last Insert, before any Find.
  void Finish();
  // Takes over the rows of `later`, a finished index of rows stored after all of this one's (a
  // table indexed in parts): each key this index lacks gets later's row. Both must be finished;
  // this one stays finished and `later` is left empty. Throws FatalError beyond 32 GB of rows.
  void Absorb(FirstRowIndex&& later);
  // The row kept for `key`; the view lives as long as the index.
  std::optional<std::string_view> Find(int64_t key) const;
  // Lookups land anywhere in memory: a caller that knows its next keys asks for them early, first
  // for the place of the key (kSlot), then a little later, once that has arrived, for the row it
  // names (kRow). Only hints: nothing is looked up or changed.
  enum class Prefetch { kSlot, kRow };
  void PrefetchFor(int64_t key, Prefetch what) const;
  // Keys with a row.
  size_t size() const { return size_; }

 private:
  // Where a row is: its block in the top 13 bits, its offset within the block in eighths below.
  using Location = uint32_t;
  static constexpr Location kEmpty = ~Location{0};
  static constexpr int kOffsetBits = 19;
  // Keys are nearly always 32-bit (article codes): those take the slots; others a side table.
  struct Slot {
    int32_t key;
    Location location;
  };
  struct Pending {
    int64_t key;
    Location location;
  };
  struct Block {
    platform::MappedMemory bytes;
    size_t used = 0;
    size_t capacity = 0;
  };

  // A mapping being made ready on another thread, and the size it was asked for.
  struct Prepared {
    std::future<platform::MappedMemory> mapping;
    size_t bytes = 0;
  };

  static constexpr size_t kPending = 8;
  static bool Narrow(int64_t key) { return key == static_cast<int32_t>(key); }
  size_t HomeSlot(int32_t key) const;
  size_t SlotFor(int32_t key) const;
  void Place(const Pending& row);
  void Enqueue(int64_t key, Location location);
  void Resize(size_t count);
  Location Store(std::string_view row);
  void AddBlock(size_t needed);
  std::string_view RowAt(Location location) const;
  void PrefetchRow(Location location) const;

  platform::MappedMemory slot_memory_;
  Slot* slots_ = nullptr;
  size_t slot_count_ = 0;
  int shift_ = 64;
  std::unordered_map<int64_t, Location> wide_keys_;
  size_t size_ = 0;
  std::vector<Block> blocks_;
  Prepared next_block_;
  // Rows stored but not yet placed, oldest first (a ring of kPending).
  Pending pending_[kPending] = {};
  size_t pending_start_ = 0;
  size_t pending_count_ = 0;
};

}  // namespace catpub::db
