#include "mdbwriter/libmdb_table_reader.h"

// libmdb's header needs glib's first (g++ otherwise fails on "template with C linkage"). A libmdb
// built without glib (as for Windows) brings its own substitute in its header.
// clang-format off
#if __has_include(<glib.h>)
#include <glib.h>
#endif
#include <mdbtools.h>
// clang-format on

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace catpub::mdbwriter {
namespace {

constexpr size_t kMaxLongValue = 16u << 20;

struct HandleCloser {
  void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFreer {
  void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
using Handle = std::unique_ptr<MdbHandle, HandleCloser>;
using TableDef = std::unique_ptr<MdbTableDef, TableFreer>;

Handle Open(const std::filesystem::path& file) {
  // libmdb takes the path in UTF-8 (on Windows too: its build there opens by the UTF-16 form).
  const std::u8string utf8 = file.u8string();
  Handle mdb(mdb_open(reinterpret_cast<const char*>(utf8.c_str()), MDB_NOFLAGS));
  if (!mdb) throw std::runtime_error("libmdb cannot open " + file.string());
  if (!mdb_read_catalog(mdb.get(), MDB_TABLE)) {
    throw std::runtime_error("libmdb cannot read the catalog of " + file.string());
  }
  return mdb;
}

void AppendUtf8(std::string& out, uint32_t unit) {
  if (unit < 0x80) {
    out.push_back(static_cast<char>(unit));
  } else if (unit < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (unit >> 6)));
    out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (unit >> 12)));
    out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
  }
}

// Jet 4 text: UCS-2 little-endian, or after an FF FE marker the compressed form, where a 00 byte
// switches between one-byte (Latin-1) and two-byte characters.
std::string DecodeText(const uint8_t* bytes, size_t size) {
  std::string out;
  if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    bool compressed = true;
    for (size_t i = 2; i < size;) {
      if (bytes[i] == 0) {
        compressed = !compressed;
        ++i;
      } else if (compressed) {
        AppendUtf8(out, bytes[i++]);
      } else if (i + 1 < size) {
        AppendUtf8(out, bytes[i] | static_cast<uint32_t>(bytes[i + 1]) << 8);
        i += 2;
      } else {
        throw std::runtime_error("compressed text ends in half a character");
      }
    }
    return out;
  }
  if (size % 2 != 0) throw std::runtime_error("text of an odd number of bytes");
  for (size_t i = 0; i < size; i += 2)
    AppendUtf8(out, bytes[i] | static_cast<uint32_t>(bytes[i + 1]) << 8);
  return out;
}

// A Memo through libmdb's long-value reading (mdb_ole_read, then mdb_ole_read_next along the
// chain); `field` is the 12-byte reference in the row.
std::string ReadMemo(MdbHandle* mdb, MdbColumn* column, const MdbField& field) {
  if (field.siz < MDB_MEMO_OVERHEAD) throw std::runtime_error("Memo reference too short");
  char reference[MDB_MEMO_OVERHEAD];
  std::memcpy(reference, mdb->pg_buf + field.start, sizeof reference);
  std::string buffer(2 * static_cast<size_t>(mdb->fmt->pg_size), '\0');
  std::string bytes;
  column->bind_ptr = buffer.data();
  size_t piece = mdb_ole_read(mdb, column, reference, buffer.size());
  while (piece > 0) {
    bytes.append(buffer.data(), piece);
    if (bytes.size() > kMaxLongValue) break;
    piece = mdb_ole_read_next(mdb, column, reference);
  }
  column->bind_ptr = nullptr;
  uint32_t length = 0;
  std::memcpy(&length, reference, sizeof length);
  if (bytes.size() != (length & 0x00FFFFFF)) {
    throw std::runtime_error("Memo of " + std::to_string(bytes.size()) +
                             " bytes, its reference says " + std::to_string(length & 0x00FFFFFF));
  }
  return DecodeText(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

template <typename T>
T Read(const MdbHandle* mdb, const MdbField& field) {
  if (field.siz != static_cast<int>(sizeof(T))) {
    throw std::runtime_error("a value of " + std::to_string(field.siz) + " bytes where " +
                             std::to_string(sizeof(T)) + " were due");
  }
  T value;
  std::memcpy(&value, mdb->pg_buf + field.start, sizeof value);
  return value;
}

db::Value Decode(MdbHandle* mdb, MdbColumn* column, const MdbField& field) {
  if (column->col_type == MDB_BOOL) return !field.is_null;  // kept in the null mask
  if (field.is_null) return db::Value{};
  if (field.start < 0 || field.siz < 0 ||
      static_cast<size_t>(field.start) + static_cast<size_t>(field.siz) >
          static_cast<size_t>(mdb->fmt->pg_size)) {
    throw std::runtime_error("a value outside its page");
  }
  switch (column->col_type) {
    case MDB_BYTE:
      return Read<uint8_t>(mdb, field);
    case MDB_INT:
      return Read<int16_t>(mdb, field);
    case MDB_LONGINT:
      return Read<int32_t>(mdb, field);
    case MDB_MONEY:
      return db::Currency{Read<int64_t>(mdb, field)};
    case MDB_FLOAT:
      return Read<float>(mdb, field);
    case MDB_DOUBLE:
      return Read<double>(mdb, field);
    case MDB_DATETIME:
      return db::DateTime{Read<double>(mdb, field)};
    case MDB_TEXT:
      return DecodeText(mdb->pg_buf + field.start, static_cast<size_t>(field.siz));
    case MDB_MEMO:
      return ReadMemo(mdb, column, field);
    default:
      throw std::runtime_error("unexpected column type " + std::to_string(column->col_type));
  }
}

}  // namespace

std::vector<std::string> LibmdbUserTables(const std::filesystem::path& file) {
  Handle mdb = Open(file);
  std::vector<std::string> names;
  for (unsigned i = 0; i < mdb->num_catalog; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (mdb_is_user_table(entry)) names.emplace_back(entry->object_name);
  }
  return names;
}

LibmdbTable ReadWithLibmdb(const std::filesystem::path& file, const std::string& name) {
  Handle mdb = Open(file);
  TableDef table(mdb_read_table_by_name(mdb.get(), const_cast<gchar*>(name.c_str()), MDB_TABLE));
  if (!table) throw std::runtime_error("libmdb finds no table " + name + " in " + file.string());
  if (!mdb_read_columns(table.get()))
    throw std::runtime_error("libmdb cannot read columns of " + name);

  LibmdbTable result;
  result.stored_row_count = table->num_rows;
  for (unsigned i = 0; i < table->num_cols; ++i) {
    auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
    result.columns.push_back({column->name, column->col_type, column->col_size});
  }

  std::vector<MdbField> fields(table->num_cols);
  mdb_rewind_table(table.get());
  while (mdb_fetch_row(table.get())) {
    int start = 0;
    size_t length = 0;
    if (mdb_find_row(mdb.get(), static_cast<int>(table->cur_row) - 1, &start, &length) != 0 ||
        mdb_crack_row(table.get(), start & 0x1FFF, length, fields.data()) < 0) {
      throw std::runtime_error("libmdb cannot take row " + std::to_string(result.rows.size() + 1) +
                               " of " + name + " apart");
    }
    auto& row = result.rows.emplace_back();
    for (unsigned i = 0; i < table->num_cols; ++i) {
      auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
      try {
        row.push_back(Decode(mdb.get(), column, fields[i]));
      } catch (const std::runtime_error& error) {
        throw std::runtime_error(name + ", row " + std::to_string(result.rows.size()) +
                                 ", column " + column->name + ": " + error.what());
      }
    }
  }
  return result;
}

}  // namespace catpub::mdbwriter
