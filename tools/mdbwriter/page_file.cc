#include "mdbwriter/page_file.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace catpub::mdbwriter {
namespace {

[[noreturn]] void Throw(const std::string& what, const std::filesystem::path& path) {
  throw std::runtime_error(what + " " + path.string() + ": " + std::strerror(errno));
}

}  // namespace

PageFile::PageFile(const std::filesystem::path& target) : target_(target) {
  // A random name beside the target; a file already there is never opened, so two writers of the
  // same target keep apart.
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100 && !file_.is_open(); ++attempt) {
    path_ = target.string() + ".partial-" + std::to_string(random());
    if (std::filesystem::exists(path_)) continue;
    file_.open(path_, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
  }
  if (!file_.is_open()) Throw("cannot create a file beside", target);
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
  if (!file_) Throw("cannot write", path_);
  written_[number] = true;
}

void PageFile::Commit() {
  for (uint32_t number = 0; number < page_count_; ++number) {
    if (!written_[number]) {
      throw std::logic_error("page " + std::to_string(number) + " was allocated but never written");
    }
  }
  file_.close();
  if (file_.fail()) Throw("cannot write", path_);
  std::error_code error;
  std::filesystem::rename(path_, target_, error);
  if (error) Throw("cannot replace", target_);
  committed_ = true;
}

}  // namespace catpub::mdbwriter
