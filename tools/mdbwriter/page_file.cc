#include "mdbwriter/page_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace catpub::mdbwriter {
namespace {

[[noreturn]] void ThrowErrno(const std::string& what, const std::filesystem::path& path) {
  throw std::runtime_error(what + " " + path.string() + ": " + std::strerror(errno));
}

}  // namespace

PageFile::PageFile(const std::filesystem::path& target) : target_(target) {
  std::string pattern = target.string() + ".partial-XXXXXX";
  fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) ThrowErrno("cannot create a file beside", target);
  path_ = pattern;
  if (::fchmod(fd_, 0644) != 0) {
    Discard();
    ThrowErrno("cannot set the permissions of", path_);
  }
}

PageFile::~PageFile() { Discard(); }

void PageFile::Discard() {
  if (committed_) return;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

uint32_t PageFile::Allocate() {
  if (page_count_ == kMaxPages) {
    throw std::runtime_error("the database would exceed 2 GiB, the limit of an Access 2000 file");
  }
  written_.push_back(false);
  return page_count_++;
}

void PageFile::Write(uint32_t number, const Page& page) {
  if (number >= page_count_) {
    throw std::logic_error("page " + std::to_string(number) + " written before it was allocated");
  }
  const off_t offset = static_cast<off_t>(number) * static_cast<off_t>(db::kJetPageSize);
  size_t done = 0;
  while (done < db::kJetPageSize) {
    const ssize_t wrote = ::pwrite(fd_, page.data() + done, db::kJetPageSize - done,
                                   offset + static_cast<off_t>(done));
    if (wrote < 0) {
      if (errno == EINTR) continue;
      ThrowErrno("cannot write", path_);
    }
    done += static_cast<size_t>(wrote);
  }
  written_[number] = true;
}

void PageFile::Commit() {
  for (uint32_t number = 0; number < page_count_; ++number) {
    if (!written_[number]) {
      throw std::logic_error("page " + std::to_string(number) + " was allocated but never written");
    }
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) ThrowErrno("cannot write", path_);
  if (::rename(path_.c_str(), target_.c_str()) != 0) ThrowErrno("cannot replace", target_);
  committed_ = true;
}

}  // namespace catpub::mdbwriter
