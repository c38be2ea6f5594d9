#include <sys/mman.h>

#include <cstdint>
#include <new>

#include "platform/mapped_memory.h"

namespace catpub::platform {
namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kPage = 4096;

}  // namespace

MappedMemory::MappedMemory(size_t bytes) {
  const bool huge = bytes >= kHugePage;
  const size_t granule = huge ? kHugePage : kPage;
  size_ = (bytes + granule - 1) / granule * granule;
  // Huge pages need a huge-page boundary: map one more, then give back what lies outside.
  const size_t extra = huge ? kHugePage : 0;
  void* mapped =
      ::mmap(nullptr, size_ + extra, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
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

void MappedMemory::Release() {
  if (data_) ::munmap(data_, size_);
}

}  // namespace catpub::platform
