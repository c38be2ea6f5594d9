#include "mdbwriter/table_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "mdbwriter/jet4_text.h"

namespace catpub::mdbwriter {
namespace {

static_assert(std::endian::native == std::endian::little, "values are copied as stored");

constexpr size_t kDefinitionHeader = 63;
constexpr size_t kColumnEntrySize = 25;
constexpr size_t kContinuationHeader = 8;
constexpr size_t kMemoReference = 12;
constexpr size_t kLongValueChunk = kMaxRowSize - 4;  // a chained piece starts with the next's place
constexpr uint8_t kMemoInline = 0x80;
constexpr uint8_t kMemoOneRow = 0x40;
constexpr uint8_t kMemoChained = 0x00;
constexpr size_t kMaxMemoBytes = 0xFFFFFF;  // the reference keeps the length in three bytes
constexpr uint32_t kGeneralSortOrder = 0x0409;
constexpr uint8_t kColumnFixed = 0x01;
constexpr uint8_t kColumnNullable = 0x02;

bool IsFixed(StoredType type) {
  return type != StoredType::kText && type != StoredType::kMemo && type != StoredType::kBinary &&
         type != StoredType::kOle;
}

// Bytes in the fixed part of a row; Yes/No lives in the null mask only.
uint16_t FixedBytes(StoredType type) {
  switch (type) {
    case StoredType::kByte:
      return 1;
    case StoredType::kInteger:
      return 2;
    case StoredType::kLong:
    case StoredType::kSingle:
      return 4;
    case StoredType::kCurrency:
    case StoredType::kDouble:
    case StoredType::kDateTime:
      return 8;
    default:
      return 0;
  }
}

// The column length a definition records.
uint16_t DefinedSize(const StoredColumn& column) {
  switch (column.type) {
    case StoredType::kBoolean:
      return 1;
    case StoredType::kText:
    case StoredType::kBinary:
      return static_cast<uint16_t>(2 * column.text_length);
    case StoredType::kMemo:
    case StoredType::kOle:
      return 0;
    default:
      return FixedBytes(column.type);
  }
}

const char* TypeName(StoredType type) {
  switch (type) {
    case StoredType::kBoolean:
      return "Yes/No";
    case StoredType::kByte:
      return "Byte";
    case StoredType::kInteger:
      return "Integer";
    case StoredType::kLong:
      return "Long";
    case StoredType::kCurrency:
      return "Currency";
    case StoredType::kSingle:
      return "Single";
    case StoredType::kDouble:
      return "Double";
    case StoredType::kDateTime:
      return "Date/Time";
    case StoredType::kBinary:
      return "Binary";
    case StoredType::kText:
      return "Text";
    case StoredType::kOle:
      return "OLE Object";
    case StoredType::kMemo:
      return "Memo";
  }
  return "?";
}

const char* AlternativeName(const db::Value& value) {
  static constexpr const char* kNames[] = {"Null",   "Yes/No", "Byte",     "Integer",   "Long",
                                           "Single", "Double", "Currency", "Date/Time", "Text"};
  static_assert(std::size(kNames) == std::variant_size_v<db::Value>);
  return kNames[value.index()];
}

// "a Long", "an Integer".
std::string WithArticle(const char* name) {
  return (std::strchr("AEIOU", name[0]) != nullptr ? "an " : "a ") + std::string(name);
}

[[noreturn]] void ThrowMismatch(const db::Value& value, StoredType type) {
  throw std::runtime_error(WithArticle(AlternativeName(value)) + " value does not fit " +
                           WithArticle(TypeName(type)) + " column");
}

// An integer alternative's value, or nothing for other alternatives.
std::optional<int64_t> IntegerOf(const db::Value& value) {
  if (const auto* v = std::get_if<uint8_t>(&value)) return *v;
  if (const auto* v = std::get_if<int16_t>(&value)) return *v;
  if (const auto* v = std::get_if<int32_t>(&value)) return *v;
  return std::nullopt;
}

template <typename T>
void Store(T number, uint8_t* at) {
  std::memcpy(at, &number, sizeof number);
}

template <typename Int>
void StoreInteger(const db::Value& value, StoredType type, uint8_t* at) {
  const auto integer = IntegerOf(value);
  if (!integer) ThrowMismatch(value, type);
  if (*integer < std::numeric_limits<Int>::min() || *integer > std::numeric_limits<Int>::max()) {
    throw std::runtime_error(std::to_string(*integer) + " is out of range for " +
                             WithArticle(TypeName(type)) + " column");
  }
  Store(static_cast<Int>(*integer), at);
}

float SingleOf(const db::Value& value) {
  if (const auto* v = std::get_if<float>(&value)) return *v;
  double wide = 0;
  if (const auto* v = std::get_if<double>(&value)) {
    wide = *v;
  } else if (const auto integer = IntegerOf(value)) {
    wide = static_cast<double>(*integer);
  } else {
    ThrowMismatch(value, StoredType::kSingle);
  }
  const auto narrow = static_cast<float>(wide);
  if (static_cast<double>(narrow) != wide && !std::isnan(wide)) {
    throw std::runtime_error("Double value " + std::to_string(wide) + " has no exact Single form");
  }
  return narrow;
}

double DoubleOf(const db::Value& value) {
  if (const auto* v = std::get_if<double>(&value)) return *v;
  if (const auto* v = std::get_if<float>(&value)) return *v;
  if (const auto integer = IntegerOf(value)) return static_cast<double>(*integer);
  ThrowMismatch(value, StoredType::kDouble);
}

int64_t CurrencyOf(const db::Value& value) {
  if (const auto* v = std::get_if<db::Currency>(&value)) return v->ten_thousandths;
  if (const auto integer = IntegerOf(value)) return *integer * 10000;
  ThrowMismatch(value, StoredType::kCurrency);
}

// Stores a fixed-size value (not Null, not Yes/No).
void StoreFixed(const db::Value& value, StoredType type, uint8_t* at) {
  switch (type) {
    case StoredType::kByte:
      return StoreInteger<uint8_t>(value, type, at);
    case StoredType::kInteger:
      return StoreInteger<int16_t>(value, type, at);
    case StoredType::kLong:
      return StoreInteger<int32_t>(value, type, at);
    case StoredType::kCurrency:
      return Store(CurrencyOf(value), at);
    case StoredType::kSingle:
      return Store(SingleOf(value), at);
    case StoredType::kDouble:
      return Store(DoubleOf(value), at);
    case StoredType::kDateTime:
      if (const auto* v = std::get_if<db::DateTime>(&value)) return Store(v->days, at);
      ThrowMismatch(value, type);
    default:
      throw std::logic_error("not a fixed-size column type");
  }
}

std::string StoredText(const db::Value& value, const StoredColumn& column) {
  const auto* text = std::get_if<std::string>(&value);
  if (text == nullptr || column.type == StoredType::kBinary || column.type == StoredType::kOle) {
    ThrowMismatch(value, column.type);
  }
  const std::u16string units = Utf8ToUcs2(*text);
  if (column.type == StoredType::kText && units.size() > static_cast<size_t>(column.text_length)) {
    throw std::runtime_error("a text of " + std::to_string(units.size()) +
                             " characters is longer than the column's " +
                             std::to_string(column.text_length));
  }
  std::string bytes = EncodeJetText(units);
  if (column.type == StoredType::kMemo && bytes.size() > kMaxMemoBytes) {
    throw std::runtime_error("a Memo of " + std::to_string(units.size()) +
                             " characters is longer than the 8,388,607 this writer stores");
  }
  return bytes;
}

std::string MemoReference(size_t length, uint8_t kind, PageRow where) {
  std::string reference(kMemoReference, '\0');
  auto* bytes = reinterpret_cast<uint8_t*>(reference.data());
  PutU32(bytes, static_cast<uint32_t>(length) | static_cast<uint32_t>(kind) << 24);
  PutU32(bytes + 4, where);
  return reference;
}

void AppendU16(std::string& out, size_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

}  // namespace

StoredColumn StoredColumnOf(const Column& column) {
  static constexpr StoredType kTypes[] = {
      StoredType::kBoolean,  StoredType::kByte,   StoredType::kInteger, StoredType::kLong,
      StoredType::kCurrency, StoredType::kSingle, StoredType::kDouble,  StoredType::kDateTime,
      StoredType::kText,     StoredType::kMemo};
  return {column.name, kTypes[static_cast<size_t>(column.type)], column.text_length};
}

// ---- long values ------------------------------------------------------------------------------

PageRow TableWriter::LongValues::Add(std::string_view row) {
  if (!page_.empty() && !page_.Fits(row.size())) Flush();
  if (page_.empty()) page_number_ = file_.Allocate();
  return MakePageRow(page_number_, page_.Add(row));
}

void TableWriter::LongValues::Flush() {
  if (!page_.empty()) file_.Write(page_number_, page_.Finish());
}

std::string TableWriter::LongValues::Store(std::string_view value) {
  if (value.size() <= kMaxRowSize) {
    return MemoReference(value.size(), kMemoOneRow, Add(value));
  }
  // A chain of rows, each starting with the place of the next (0 ends the chain). Stored from the
  // last piece back, so that each piece knows where its successor went.
  const size_t pieces = (value.size() + kLongValueChunk - 1) / kLongValueChunk;
  PageRow next = 0;
  std::string row;
  for (size_t piece = pieces; piece-- > 0;) {
    row.assign(4, '\0');
    PutU32(reinterpret_cast<uint8_t*>(row.data()), next);
    row.append(value.substr(piece * kLongValueChunk, kLongValueChunk));
    next = Add(row);
  }
  return MemoReference(value.size(), kMemoChained, next);
}

// ---- table ------------------------------------------------------------------------------------

size_t TableWriter::DefinitionPageCount(const std::vector<StoredColumn>& columns) {
  size_t length = kDefinitionHeader + kColumnEntrySize * columns.size() + 2;
  for (const auto& column : columns) length += 2 + 2 * Utf8ToUcs2(column.name).size();
  if (length <= db::kJetPageSize) return 1;
  const size_t more = db::kJetPageSize - kContinuationHeader;
  return 1 + (length - db::kJetPageSize + more - 1) / more;
}

TableWriter::TableWriter(PageFile& file, std::string name, std::vector<StoredColumn> columns,
                         bool system, TablePages pages)
    : file_(file),
      name_(std::move(name)),
      columns_(std::move(columns)),
      system_(system),
      pages_(std::move(pages)),
      data_page_(pages_.definition.front()),
      long_values_(file),
      moved_page_(pages_.definition.front()) {
  layout_.resize(columns_.size());
  for (size_t i = 0; i < columns_.size(); ++i) {
    Layout& layout = layout_[i];
    layout.fixed = IsFixed(columns_[i].type);
    layout.stored_size = DefinedSize(columns_[i]);
    if (layout.fixed) {
      // Yes/No takes no room; Access records offset 0 for it.
      layout.fixed_offset = FixedBytes(columns_[i].type) > 0 ? fixed_size_ : 0;
      layout.variable_index = variable_count_;  // variable columns before it, as Access records
      fixed_size_ = static_cast<uint16_t>(fixed_size_ + FixedBytes(columns_[i].type));
    } else {
      layout.variable_index = variable_count_++;
    }
  }
  variable_.resize(variable_count_);
  memo_.resize(variable_count_);
}

void TableWriter::EncodeValue(size_t column, const db::Value& value) {
  const StoredColumn& stored = columns_[column];
  const Layout& layout = layout_[column];
  bool present = !db::IsNull(value);
  if (stored.type == StoredType::kBoolean) {
    const auto* flag = std::get_if<bool>(&value);
    if (flag == nullptr) {
      if (!present) throw std::runtime_error("Null in a Yes/No column");
      ThrowMismatch(value, stored.type);
    }
    present = *flag;  // a Yes/No value is its null-mask bit
  } else if (layout.fixed) {
    if (present) {
      StoreFixed(value, stored.type,
                 reinterpret_cast<uint8_t*>(fixed_.data()) + 2 + layout.fixed_offset);
    }
  } else if (present) {
    variable_[layout.variable_index] = StoredText(value, stored);
    memo_[layout.variable_index] = stored.type == StoredType::kMemo;
  }
  if (present) mask_[column / 8] = static_cast<char>(mask_[column / 8] | (1 << (column % 8)));
}

void TableWriter::PlaceMemos() {
  // Every Memo inline if the row then fits a page, otherwise the longest ones out of the row.
  size_t size = 2 + fixed_size_ + mask_.size();
  if (variable_count_ > 0) size += 4 + 2 * variable_count_;
  std::vector<size_t> inline_memos;
  for (size_t v = 0; v < variable_.size(); ++v) {
    size += variable_[v].size();
    if (memo_[v]) {
      size += kMemoReference;
      inline_memos.push_back(v);
    }
  }
  while (size > kMaxRowSize && !inline_memos.empty()) {
    auto longest = inline_memos.begin();
    for (auto it = inline_memos.begin(); it != inline_memos.end(); ++it) {
      if (variable_[*it].size() > variable_[*longest].size()) longest = it;
    }
    std::string& memo = variable_[*longest];
    if (memo.empty()) break;  // nothing left to move; a long value row is never empty
    size -= memo.size();
    memo = long_values_.Store(memo);
    memo_[*longest] = false;
    inline_memos.erase(longest);
  }
  if (size > kMaxRowSize) {
    throw std::runtime_error("the row takes " + std::to_string(size) +
                             " bytes, more than a page holds (" + std::to_string(kMaxRowSize) +
                             ")");
  }
  for (size_t v : inline_memos) {
    variable_[v].insert(0, MemoReference(variable_[v].size(), kMemoInline, 0));
    memo_[v] = false;
  }
}

void TableWriter::AssembleRow() {
  // Column count, fixed part, variable values, then from the end: null mask, variable count,
  // offsets of the variable values (last first) and the offset where they end.
  row_ = fixed_;
  if (variable_count_ > 0) {
    std::vector<size_t> offsets(variable_count_);
    for (size_t v = 0; v < variable_.size(); ++v) {
      offsets[v] = row_.size();
      row_ += variable_[v];
    }
    AppendU16(row_, row_.size());
    for (size_t v = variable_.size(); v-- > 0;) AppendU16(row_, offsets[v]);
    AppendU16(row_, variable_count_);
  }
  row_ += mask_;
}

void TableWriter::AddRow(const std::vector<db::Value>& row, unsigned moves) {
  const uint64_t number = row_count_ + 1;
  try {
    if (row.size() != columns_.size()) {
      throw std::runtime_error("the row has " + std::to_string(row.size()) + " values for " +
                               std::to_string(columns_.size()) + " columns");
    }
    fixed_.assign(2 + fixed_size_, '\0');
    fixed_[0] = static_cast<char>(columns_.size() & 0xFF);
    fixed_[1] = static_cast<char>(columns_.size() >> 8);
    mask_.assign((columns_.size() + 7) / 8, '\0');
    for (auto& value : variable_) value.clear();
    std::fill(memo_.begin(), memo_.end(), false);
    for (size_t i = 0; i < columns_.size(); ++i) {
      try {
        EncodeValue(i, row[i]);
      } catch (const std::runtime_error& error) {
        throw std::runtime_error("column \"" + columns_[i].name + "\": " + error.what());
      }
    }
    PlaceMemos();
  } catch (const std::runtime_error& error) {
    throw std::runtime_error("table \"" + name_ + "\", row " + std::to_string(number) + ": " +
                             error.what());
  }
  AssembleRow();
  AddToDataPage(moves);
  row_count_ = number;
}

void TableWriter::AddToDataPage(unsigned moves) {
  const size_t size = moves == 0 ? row_.size() : kMovedRowPointer;
  if (!data_page_.empty() && !data_page_.Fits(size)) FlushDataPage();
  if (data_page_.empty()) {
    data_page_number_ = file_.Allocate();
    data_pages_.Add(data_page_number_);
  }
  if (moves == 0) {
    data_page_.Add(row_);
    return;
  }
  // The data first, then each pointer on the way back to the row's place.
  PageRow place = AddMovedData(row_, kMovedDataFlag);
  std::string pointer(kMovedRowPointer, '\0');
  for (unsigned move = 1; move <= moves; ++move) {
    PutU32(reinterpret_cast<uint8_t*>(pointer.data()), place);
    if (move == moves) break;
    place = AddMovedData(pointer, kMovedDataFlag | kMovedRowFlag);
  }
  data_page_.Add(pointer, kMovedRowFlag);
}

void TableWriter::FlushDataPage() {
  if (!data_page_.empty()) file_.Write(data_page_number_, data_page_.Finish());
}

PageRow TableWriter::AddMovedData(std::string_view row, uint16_t flags) {
  if (!moved_page_.empty() && !moved_page_.Fits(row.size())) FlushMovedPage();
  if (moved_page_.empty()) {
    moved_page_number_ = file_.Allocate();
    data_pages_.Add(moved_page_number_);
  }
  return MakePageRow(moved_page_number_, moved_page_.Add(row, flags));
}

void TableWriter::FlushMovedPage() {
  if (!moved_page_.empty()) file_.Write(moved_page_number_, moved_page_.Finish());
}

void TableWriter::Finish(std::optional<uint32_t> stored_rows) {
  if (row_count_ > UINT32_MAX) {
    throw std::runtime_error("table \"" + name_ + "\" has more rows than Access can count");
  }
  FlushDataPage();
  FlushMovedPage();
  long_values_.Flush();

  // The map page: row 0 the pages holding the table's rows, row 1 those with free room (none
  // recorded: a reader needs only the first).
  RowPage maps(0);
  maps.Add(data_pages_.Store(file_));
  maps.Add(UsageMap().Store(file_));
  file_.Write(pages_.usage_maps, maps.Finish());

  const std::string definition =
      Definition(stored_rows.value_or(static_cast<uint32_t>(row_count_)));
  size_t at = 0;
  for (size_t k = 0; k < pages_.definition.size(); ++k) {
    Page page{};
    const size_t start = k == 0 ? 0 : kContinuationHeader;
    const size_t length = std::min(db::kJetPageSize - start, definition.size() - at);
    std::memcpy(page.data() + start, definition.data() + at, length);
    at += length;
    page[0] = kPageTableDefinition;
    page[1] = 0x01;
    const size_t used = start + length;
    PutU16(&page[2],
           used + 8 <= db::kJetPageSize ? static_cast<uint32_t>(db::kJetPageSize - used - 8) : 0);
    PutU32(&page[4], k + 1 < pages_.definition.size() ? pages_.definition[k + 1] : 0);
    file_.Write(pages_.definition[k], page);
  }
  if (at != definition.size()) throw std::logic_error("table definition pages miscounted");
}

std::string TableWriter::Definition(uint32_t stored_rows) const {
  std::string out(kDefinitionHeader, '\0');
  auto* header = reinterpret_cast<uint8_t*>(out.data());
  PutU32(header + 16, stored_rows);
  header[24] = 0x01;  // Access sets it; autonumbers are kept working by it
  header[40] = system_ ? 0x53 : 0x4E;
  const auto columns = static_cast<uint32_t>(columns_.size());
  PutU16(header + 41, columns);  // most columns a row has
  PutU16(header + 43, variable_count_);
  PutU16(header + 45, columns);
  // 47, 51: no indexes.
  PutU32(header + 55, MakePageRow(pages_.usage_maps, 0));
  PutU32(header + 59, MakePageRow(pages_.usage_maps, 1));

  for (size_t i = 0; i < columns_.size(); ++i) {
    uint8_t entry[kColumnEntrySize] = {};
    const Layout& layout = layout_[i];
    entry[0] = static_cast<uint8_t>(columns_[i].type);
    PutU16(entry + 5, static_cast<uint32_t>(i));
    PutU16(entry + 7, layout.variable_index);
    PutU16(entry + 9, static_cast<uint32_t>(i));
    PutU16(entry + 11, kGeneralSortOrder);
    entry[15] = static_cast<uint8_t>(kColumnNullable | (layout.fixed ? kColumnFixed : 0));
    PutU16(entry + 21, layout.fixed_offset);
    PutU16(entry + 23, layout.stored_size);
    out.append(reinterpret_cast<const char*>(entry), sizeof entry);
  }
  for (const auto& column : columns_) {
    const std::u16string name = Utf8ToUcs2(column.name);
    AppendU16(out, 2 * name.size());
    for (char16_t unit : name) AppendU16(out, unit);
  }
  AppendU16(out, 0xFFFF);  // end of the (empty) list of long-value usage maps
  PutU32(reinterpret_cast<uint8_t*>(out.data()) + 8, static_cast<uint32_t>(out.size()));
  return out;
}

}  // namespace catpub::mdbwriter
