#include "mdbwriter/page_file.h"

#include <cstdio>
#include <ios>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace catpub::mdbwriter {

// The standard library alone, so that the writer builds for Windows as for Linux. A name of 64
// random bits beside the target is the file's own, as mkstemp's would be.
PageFile::PageFile(const std::filesystem::path& target) : target_(target) {
  std::random_device random;
  for (int attempt = 0; attempt < 16 && !file_.is_open(); ++attempt) {
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%08x%08x", random(), random());
    path_ = target.string() + ".partial-" + suffix;
    std::error_code ignored;
    if (std::filesystem::exists(path_, ignored)) continue;
    file_.open(path_, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
  }
  if (!file_.is_open()) throw std::runtime_error("cannot create a file beside " + target.string());
}

PageFile::~PageFile() { Discard(); }

void PageFile::Discard() {
  if (committed_) return;
  if (file_.is_open()) file_.close();
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
  file_.seekp(static_cast<std::streamoff>(number) * static_cast<std::streamoff>(db::kJetPageSize));
  file_.write(reinterpret_cast<const char*>(page.data()), db::kJetPageSize);
  if (!file_) throw std::runtime_error("cannot write " + path_.string());
  written_[number] = true;
}

void PageFile::Commit() {
  for (uint32_t number = 0; number < page_count_; ++number) {
    if (!written_[number]) {
      throw std::logic_error("page " + std::to_string(number) + " was allocated but never written");
    }
  }
  file_.close();
  if (file_.fail()) throw std::runtime_error("cannot write " + path_.string());
  std::error_code error;
  std::filesystem::rename(path_, target_, error);
  if (error)
    throw std::runtime_error("cannot replace " + target_.string() + ": " + error.message());
  committed_ = true;
}

}  // namespace catpub::mdbwriter
