#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/mapped_file.h"

namespace catpub::platform {

MappedFile::MappedFile(const std::filesystem::path& file) {
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat info {};
  void* mapped = MAP_FAILED;
  if (::fstat(fd, &info) == 0 && info.st_size > 0) {
    mapped = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_SHARED, fd, 0);
  }
  ::close(fd);
  if (mapped == MAP_FAILED) return;
  ::madvise(mapped, static_cast<size_t>(info.st_size), MADV_SEQUENTIAL);
  bytes_ = std::string_view(static_cast<const char*>(mapped), static_cast<size_t>(info.st_size));
}

MappedFile::~MappedFile() {
  if (!bytes_.empty()) ::munmap(const_cast<char*>(bytes_.data()), bytes_.size());
}

void MappedFile::ReleaseResidentPages() const {
  if (!bytes_.empty()) ::madvise(const_cast<char*>(bytes_.data()), bytes_.size(), MADV_DONTNEED);
}

}  // namespace catpub::platform
