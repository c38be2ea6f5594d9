#include "mdbwriter/jet4_pages.h"

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace catpub::mdbwriter {

void PutU16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool RowPage::Fits(size_t row_size) const {
  return rows_ < kMaxRowsPerPage && kRowPageHeader + 2 * (rows_ + 1) + row_size <= data_start_;
}

uint32_t RowPage::Add(std::string_view row, uint16_t flags) {
  if (!Fits(row.size())) throw std::logic_error("row added to a page without room for it");
  data_start_ -= row.size();
  std::memcpy(page_.data() + data_start_, row.data(), row.size());
  PutU16(&page_[kRowPageHeader + 2 * rows_], static_cast<uint32_t>(data_start_ | flags));
  return static_cast<uint32_t>(rows_++);
}

Page RowPage::Finish() {
  page_[0] = kPageData;
  page_[1] = 0x01;
  PutU16(&page_[2], static_cast<uint32_t>(data_start_ - kRowPageHeader - 2 * rows_));
  PutU32(&page_[4], owner_);
  PutU16(&page_[12], static_cast<uint32_t>(rows_));
  Page finished = page_;
  page_.fill(0);
  rows_ = 0;
  data_start_ = db::kJetPageSize;
  return finished;
}

void UsageMap::Add(uint32_t page) {
  if (page / 8 >= bits_.size()) bits_.resize(page / 8 + 1 + bits_.size() / 2);
  bits_[page / 8] |= static_cast<uint8_t>(1u << (page % 8));
  if (page < first_) first_ = page;
  if (page > last_) last_ = page;
}

std::string UsageMap::Store(PageFile& file) const {
  std::string row(kRowSize, '\0');
  auto* bytes = reinterpret_cast<uint8_t*>(row.data());
  if (empty()) return row;  // type 0 starting at page 0, no page set
  auto has = [this](uint32_t page) {
    return page <= last_ && (bits_[page / 8] >> (page % 8) & 1) != 0;
  };
  if (last_ - first_ < kInlineBits) {
    PutU32(bytes + 1, first_);
    for (uint32_t page = first_; page <= last_; ++page) {
      if (has(page))
        bytes[5 + (page - first_) / 8] |= static_cast<uint8_t>(1u << ((page - first_) % 8));
    }
    return row;
  }
  bytes[0] = 0x01;
  const size_t map_pages = last_ / kBitsPerMapPage + 1;
  if (map_pages > kMapPagesPerRow) {
    throw std::runtime_error("a table reaches past what a usage map can cover");
  }
  for (size_t k = 0; k < map_pages; ++k) {
    const auto base = static_cast<uint32_t>(k * kBitsPerMapPage);
    if (base > last_ || base + kBitsPerMapPage <= first_) continue;
    Page bitmap{};
    bitmap[0] = kPageUsageBitmap;
    bitmap[1] = 0x01;
    bool any = false;
    for (uint32_t i = 0; i < kBitsPerMapPage && base + i <= last_; ++i) {
      if (has(base + i)) {
        bitmap[4 + i / 8] |= static_cast<uint8_t>(1u << (i % 8));
        any = true;
      }
    }
    if (!any) continue;
    const uint32_t number = file.Allocate();
    file.Write(number, bitmap);
    PutU32(bytes + 1 + 4 * k, number);
  }
  return row;
}

void Rc4(const uint8_t* key, size_t key_size, uint8_t* data, size_t size) {
  uint8_t state[256];
  for (int i = 0; i < 256; ++i) state[i] = static_cast<uint8_t>(i);
  uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = static_cast<uint8_t>(j + state[i] + key[static_cast<size_t>(i) % key_size]);
    std::swap(state[i], state[j]);
  }
  uint8_t a = 0;
  uint8_t b = 0;
  for (size_t n = 0; n < size; ++n) {
    a = static_cast<uint8_t>(a + 1);
    b = static_cast<uint8_t>(b + state[a]);
    std::swap(state[a], state[b]);
    data[n] ^= state[static_cast<uint8_t>(state[a] + state[b])];
  }
}

Page DatabaseDefinitionPage(double created) {
  Page page{};
  page[0] = kPageDatabaseDefinition;
  page[1] = 0x01;
  std::memcpy(&page[0x04], "Standard Jet DB", 15);
  page[0x14] = 0x01;  // Jet 4
  // From 0x18 on, 128 bytes are scrambled with RC4 under a fixed key; these are their plain values.
  PutU16(&page[0x3C], 1252);  // code page
  // 0x3E: database key 0 = pages are not encrypted.
  // 0x42: the 40-byte password, stored masked with the creation day; the mask alone = no password.
  const auto day = static_cast<uint32_t>(static_cast<int32_t>(std::floor(created)));
  for (size_t i = 0; i < 40; i += 4) PutU32(&page[0x42 + i], day);
  PutU16(&page[0x6E], 0x0409);  // General sort order
  std::memcpy(&page[0x72], &created, sizeof created);
  static constexpr uint8_t kHeaderKey[] = {0xC7, 0xDA, 0x39, 0x6B};
  Rc4(kHeaderKey, sizeof kHeaderKey, &page[0x18], 128);
  return page;
}

}  // namespace catpub::mdbwriter
