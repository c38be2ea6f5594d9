// Memory taken from the system for one owner alone, in huge pages where the system offers them:
// lookups that land anywhere in a hundred megabytes would otherwise, with small pages, nearly each
// also miss the processor's cache of page addresses.
#pragma once

#include <cstddef>
#include <utility>

namespace catpub::platform {

class MappedMemory {
 public:
  // No memory.
  MappedMemory() = default;
  // At least `bytes` bytes, readable and writable, initially zero. From 2 MB on, the memory starts
  // at a huge-page boundary and huge pages are asked for (a wish: without them all works the same,
  // only slower). Throws std::bad_alloc when the system refuses.
  explicit MappedMemory(size_t bytes);
  // Gives the memory back.
  ~MappedMemory() { Release(); }
  MappedMemory(MappedMemory&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  MappedMemory& operator=(MappedMemory&& other) noexcept {
    if (this != &other) {
      Release();
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  MappedMemory(const MappedMemory&) = delete;
  MappedMemory& operator=(const MappedMemory&) = delete;

  // The first byte; null for no memory.
  char* data() const { return data_; }
  // The bytes asked for, rounded up to whole pages.
  size_t size() const { return size_; }

 private:
  // Gives the memory back, if any (posix_mapped_memory.cc).
  void Release();

  char* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace catpub::platform
