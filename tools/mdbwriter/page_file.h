// A database file seen as numbered 4,096-byte pages: pages are handed out in order and written
// at their place in any order, so a page can be kept open while later ones are written, and
// rewritten once what it points to is known.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "db/jet_page.h"

namespace catpub::mdbwriter {

using Page = std::array<uint8_t, db::kJetPageSize>;

// Jet 4 files stop at 2 GiB.
inline constexpr uint32_t kMaxPages = 0x80000000u / db::kJetPageSize;

class PageFile {
 public:
  // Creates a new file with a unique name beside `target` (in its folder). Throws
  // std::runtime_error naming the file when it cannot.
  explicit PageFile(const std::filesystem::path& target);
  ~PageFile();  // discards the file unless committed
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  // Hands out the next page number. Throws std::runtime_error past the 2 GiB limit.
  uint32_t Allocate();
  uint32_t page_count() const { return page_count_; }

  // Writes `page` at its place. Throws std::runtime_error on a write error.
  void Write(uint32_t number, const Page& page);

  // Checks that every page handed out was written, closes the file and renames it to the target,
  // replacing what was there. Throws std::runtime_error when it cannot.
  void Commit();

  // Closes and removes the file, unless committed.
  void Discard();

 private:
  std::filesystem::path target_;
  std::filesystem::path path_;
  std::fstream file_;
  bool committed_ = false;
  uint32_t page_count_ = 0;
  std::vector<bool> written_;
};

}  // namespace catpub::mdbwriter
