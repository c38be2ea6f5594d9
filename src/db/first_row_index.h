// The first stored row for each whole-number key of a table, held compactly: rows stay in their
// encoded form (db/row_codec.h) in large blocks of memory, and keys map to them through one flat
// open-addressing table. A million-row price list takes about its encoded size plus 32 MB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace catpub::db {

class FirstRowIndex {
 public:
  FirstRowIndex() = default;
  FirstRowIndex(const FirstRowIndex&) = delete;
  FirstRowIndex& operator=(const FirstRowIndex&) = delete;
  FirstRowIndex(FirstRowIndex&&) = default;
  FirstRowIndex& operator=(FirstRowIndex&&) = default;

  // Makes room for `keys` keys at once, so that the index need not grow while they are inserted.
  void Reserve(size_t keys);
  // Keeps a copy of `row` for `key` unless an earlier row has that key; true when it was kept.
  bool Insert(int64_t key, std::string_view row);
  // The row kept for `key`; the view lives as long as the index.
  std::optional<std::string_view> Find(int64_t key) const;
  size_t size() const { return size_; }

 private:
  // Where a row is: block index in the high 32 bits, offset in the low ones.
  using Location = uint64_t;
  static constexpr Location kEmpty = ~Location{0};
  struct Slot {
    int64_t key;
    Location location;
  };
  // Memory mapped for the index alone, asking the kernel for huge pages: lookups land anywhere in
  // a hundred megabytes, and with 4 KiB pages nearly each one would also miss the TLB.
  class Mapping {
   public:
    Mapping() = default;
    explicit Mapping(size_t bytes);
    ~Mapping();
    Mapping(Mapping&& other) noexcept;
    Mapping& operator=(Mapping&& other) noexcept;
    char* data() const { return data_; }

   private:
    char* data_ = nullptr;
    size_t size_ = 0;
  };
  struct Block {
    Mapping bytes;
    size_t used = 0;
    size_t capacity = 0;
  };

  size_t SlotFor(int64_t key) const;
  void Grow();
  void Rehash(size_t slot_count);
  Location Store(std::string_view row);

  Mapping slot_memory_;
  Slot* slots_ = nullptr;
  size_t slot_count_ = 0;
  size_t size_ = 0;
  int shift_ = 64;
  std::vector<Block> blocks_;
};

}  // namespace catpub::db
