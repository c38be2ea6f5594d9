#include "db/reader/mdb_table_reader.h"

// libmdb's header needs glib's first (g++ otherwise fails on "template with C linkage"). A libmdb
// built without glib (as for Windows) brings its own substitute in its header.
// clang-format off
#if __has_include(<glib.h>)
#include <glib.h>
#endif
#include <mdbtools.h>
// clang-format on

#include <array>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "db/names.h"
#include "db/reader/jet_format.h"
#include "db/reader/usage_map.h"
#include "db/row_codec.h"
#include "db/row_count.h"
#include "db/value.h"
#include "platform/fatal_error.h"
#include "platform/fold_case.h"
#include "platform/utf8_path.h"

namespace catpub::db::reader {
namespace {

// The catalog (MSysObjects) is the table defined on page 2. It is walked here like any table, so
// that libmdb's own catalog reading, which parses every object's property blob and crashes or
// loops on damaged ones, is never called: the program needs no property.
constexpr uint32_t kCatalogPage = 2;
constexpr int kLocalTable = 1;
constexpr int kLinkedOdbcTable = 4;
constexpr int kLinkedAccessTable = 6;
// The data page layout (db/reader/jet_format.h) as libmdb takes offsets, and the flags of a row's
// offset.
constexpr int kRowCountOffset = static_cast<int>(jet::kRowCountOffset);
constexpr int kRowOffsetsStart = static_cast<int>(jet::kRowOffsetsStart);

struct HandleCloser {
  void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFreer {
  void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

// Stored size of the fixed-size types; 0 for Yes/No (kept in the null flag) and variable types.
size_t StoredSize(int type) {
  switch (type) {
    case MDB_BYTE:
      return 1;
    case MDB_INT:
      return 2;
    case MDB_LONGINT:
    case MDB_FLOAT:
    case MDB_COMPLEX:
      return 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME:
      return 8;
    case MDB_REPID:
      return 16;
    case MDB_NUMERIC:
      return 17;
    default:
      return 0;
  }
}

bool KnownType(int type) {
  return StoredSize(type) > 0 || type == MDB_BOOL || type == MDB_TEXT || type == MDB_MEMO ||
         type == MDB_OLE || type == MDB_BINARY;
}

template <typename T>
T Load(std::string_view bytes) {
  T value;
  std::memcpy(&value, bytes.data(), sizeof(T));
  return value;
}

// Walks the rows of one table in stored order, checking every field against its row before
// reading it and encoding each row as db/row_codec.h says.
class TableWalker {
 public:
  // `file_pages` is the number of pages in the file; `wanted` names the columns to decode (all
  // when empty), the others read as Null.
  TableWalker(MdbHandle* mdb, uint64_t file_pages, uint32_t definition_page,
              const std::string& name, const std::vector<std::string>& wanted = {},
              TablePart part = {})
      : mdb_(mdb), file_pages_(file_pages), name_(name) {
    entry_.mdb = mdb;
    std::snprintf(entry_.object_name, sizeof(entry_.object_name), "%s", name.c_str());
    entry_.object_type = MDB_TABLE;
    entry_.table_pg = definition_page;
    table_.reset(mdb_read_table(&entry_));
    if (!table_) throw FatalError("la definizione della tabella " + name + " non si legge");
    // An empty usage map makes libmdb dereference a null pointer when it looks for data pages.
    if (!table_->usage_map || table_->map_sz == 0) {
      throw FatalError("la mappa delle pagine della tabella " + name + " è danneggiata");
    }
    if (!mdb_read_columns(table_.get()) || table_->num_cols == 0 ||
        table_->columns->len != table_->num_cols) {
      throw FatalError("le colonne della tabella " + name + " non si leggono");
    }
    for (unsigned i = 0; i < table_->num_cols; ++i) {
      MdbColumn* column = Column(i);
      if (!KnownType(column->col_type)) {
        throw FatalError("la colonna " + std::string(column->name) + " della tabella " + name +
                         " ha un tipo sconosciuto " + std::to_string(column->col_type));
      }
      names_.emplace_back(column->name);
      bool decode = wanted.empty();
      for (const std::string& w : wanted) decode = decode || SameName(w, column->name);
      wanted_.push_back(decode);
    }
    fields_.resize(table_->num_cols);
    ListPages(part);
  }
  TableWalker(const TableWalker&) = delete;
  TableWalker& operator=(const TableWalker&) = delete;

  const std::vector<std::string>& column_names() const { return names_; }
  uint32_t rows_stored() const { return table_->num_rows; }

  // Encodes the next row into `row`; false after the last one. The pages are the table's own list
  // (ListPages), each walked once, so a walk ends whatever the file holds; the rows of each page
  // are taken here, so that each is split into its fields once, and a row that cannot be split is
  // damage rather than a row silently skipped. Rows come in their places, as Access returns them: a
  // row that Access moved to another page is read where its pointer stays, and its data where the
  // pointer leads is not read again.
  bool Next(std::string& row) {
    for (;;) {
      if (next_row_ >= rows_on_page_) {
        if (!NextPage()) return false;
        continue;
      }
      const unsigned number = next_row_++;
      const unsigned flags = jet::RowFlags(mdb_->pg_buf, number);
      if (flags != 0) {
        // Deleted rows, and the data of moved rows (reached through their pointers), are skipped.
        if (flags != jet::kMovedRow) {
          ++slots_without_row_;
          continue;
        }
        ReadMovedRow(number, row);
        return true;
      }
      std::optional<std::string_view> bytes = jet::PageRow(WalkedPage(), number);
      if (!bytes) {
        throw Damage("la riga " + std::to_string(number) + " della pagina " +
                     std::to_string(page_) + " esce dallo spazio delle righe");
      }
      if (bytes->empty()) {  // as libmdb does; the row count tells whether a row was lost
        ++slots_without_row_;
        continue;
      }
      EncodeRow(static_cast<int>(bytes->data() - WalkedPage().data()), bytes->size(), row);
      return true;
    }
  }

  // The walked pages' share of the table's deleted rows (wire::End::deleted_rows).
  int64_t deleted_rows() const {
    return static_cast<int64_t>(slots_without_row_) - static_cast<int64_t>(moved_data_reached_);
  }

  // Throws FatalError when rows were lost (db/row_count.h). For the catalog only: the rows of the
  // tables sent to the program are counted there, part by part.
  void CheckComplete() const {
    if (RowsLost(table_->num_rows, rows_read_, deleted_rows())) {
      throw FatalError(RowCountMismatch(name_, table_->num_rows, rows_read_, deleted_rows()));
    }
  }

 private:
  // The pages to walk: this part's share of the pages the table's page map names, in ascending
  // order. A map of a kind Access does not write (libmdb then tries every page) gives every page of
  // the file, of which the walk keeps the data pages of this table.
  void ListPages(TablePart part) {
    const std::string_view map(reinterpret_cast<const char*>(table_->usage_map),
                               static_cast<size_t>(table_->map_sz));
    std::optional<std::vector<uint32_t>> named;
    try {
      named =
          jet::UsageMapPages(map, file_pages_, [this](uint32_t page) { return ReadPage(page); });
    } catch (const FatalError& e) {
      throw Damage(e.what());
    }
    if (named) {
      pages_ = std::move(*named);
    } else {
      for (uint64_t page = 1; page < file_pages_; ++page) {
        pages_.push_back(static_cast<uint32_t>(page));
      }
    }
    next_page_ = pages_.size() * part.index / part.count;
    end_page_ = pages_.size() * (part.index + 1) / part.count;
  }

  // Reads the next page of the list that is a data page of this table into libmdb's buffer; false
  // after the last one.
  bool NextPage() {
    while (next_page_ < end_page_) {
      const uint32_t page = pages_[next_page_++];
      if (mdb_read_pg(mdb_, page) != static_cast<ssize_t>(kJetPageSize)) {
        throw Damage("la pagina " + std::to_string(page) + " della sua mappa non si legge");
      }
      // A map may name pages that are no longer the table's: Access and libmdb pass over them.
      if (!OwnDataPage()) continue;
      page_ = page;
      next_row_ = 0;
      rows_on_page_ = static_cast<unsigned>(mdb_get_int16(mdb_->pg_buf, kRowCountOffset));
      if (rows_on_page_ > kMostRowsOnPage) {
        throw Damage("la pagina " + std::to_string(page) + " conta " +
                     std::to_string(rows_on_page_) + " righe, più di quante una pagina ne tenga");
      }
      return true;
    }
    return false;
  }

  bool OwnDataPage() const {
    return mdb_->pg_buf[0] == jet::kDataPage &&
           static_cast<uint32_t>(mdb_get_int32(mdb_->pg_buf, 4)) == entry_.table_pg;
  }

  std::string_view WalkedPage() const {
    return std::string_view(reinterpret_cast<const char*>(mdb_->pg_buf), kJetPageSize);
  }

  // Splits the row at `start` (flags included) of `size` bytes of the page in libmdb's buffer into
  // its fields and encodes them into `row`.
  void EncodeRow(int start, size_t size, std::string& row) {
    ++rows_read_;
    row_start_ = start & jet::kOffsetMask;
    row_end_ = row_start_ + static_cast<int>(size);
    if (mdb_crack_row(table_.get(), row_start_, size, fields_.data()) < 0) {
      throw RowDamage("non si divide nei suoi campi");
    }
    row.clear();
    for (unsigned i = 0; i < table_->num_cols; ++i) AppendField(i, row);
  }

  // Reads the moved row whose pointer is row `number` of the current page: the data is taken from
  // the page and row the pointer names, following pointers that lead to pointers again, and the
  // current page is back in libmdb's buffer afterwards.
  // Rare, and kept out of line so that the walk of ordinary rows stays one tight loop.
  [[gnu::noinline]] void ReadMovedRow(unsigned number, std::string& row) {
    const uint32_t page = page_;
    const std::string_view here(reinterpret_cast<const char*>(mdb_->pg_buf), kJetPageSize);
    std::optional<jet::RowPlace> place = jet::MovedRowPlace(here, number);
    if (!place) {
      throw Damage("la riga " + std::to_string(number) + " della pagina " + std::to_string(page) +
                   " è spostata ma il suo puntatore è più corto di 4 byte");
    }
    std::memcpy(walked_page_.data(), mdb_->pg_buf, kJetPageSize);
    const std::string where = "la riga " + std::to_string(number) + " della pagina " +
                              std::to_string(page) + ", spostata, ";
    jet::RowPlace at = *place;
    std::vector<jet::RowPlace> visited;
    for (;;) {
      visited.push_back(at);
      if (visited.size() > jet::kMostMoves) {
        throw Damage(where + "rimanda oltre " + std::to_string(jet::kMostMoves) + " volte");
      }
      const unsigned flags = MovedData(at, where);
      if (flags == (jet::kMovedRow | jet::kMovedData)) {
        const std::string_view there(reinterpret_cast<const char*>(mdb_->pg_buf), kJetPageSize);
        std::optional<jet::RowPlace> next = jet::MovedRowPlace(there, at.row);
        if (!next) {
          throw Damage(where + "rimanda alla riga " + std::to_string(at.row) + " della pagina " +
                       std::to_string(at.page) + ", un puntatore più corto di 4 byte");
        }
        for (const jet::RowPlace& seen : visited) {
          if (seen.page == next->page && seen.row == next->row) {
            throw Damage(where + "rimanda in cerchio (pagina " + std::to_string(next->page) +
                         ", riga " + std::to_string(next->row) + ")");
          }
        }
        at = *next;
        continue;
      }
      std::optional<std::string_view> bytes = jet::PageRow(WalkedPage(), at.row);
      if (!bytes || bytes->empty()) {
        throw Damage(where + "rimanda alla riga " + std::to_string(at.row) + " della pagina " +
                     std::to_string(at.page) + ", che non sta nella pagina");
      }
      EncodeRow(static_cast<int>(bytes->data() - WalkedPage().data()), bytes->size(), row);
      moved_data_reached_ += visited.size();
      break;
    }
    // libmdb reads a page again only when it is another than the last one read.
    std::memcpy(mdb_->pg_buf, walked_page_.data(), kJetPageSize);
    mdb_->cur_pg = page;
  }

  // Reads the page of `at` into libmdb's buffer and returns the flags of its row there, after
  // checking that it is moved data of this table. `where` names the pointer, for the messages.
  unsigned MovedData(jet::RowPlace at, const std::string& where) {
    // libmdb does not check that a page of a file in memory lies within it.
    if (at.page == 0 || at.page >= file_pages_ ||
        mdb_read_pg(mdb_, at.page) != static_cast<ssize_t>(kJetPageSize)) {
      throw Damage(where + "rimanda alla pagina " + std::to_string(at.page) +
                   ", oltre la fine del file");
    }
    if (mdb_->pg_buf[0] != jet::kDataPage ||
        static_cast<uint32_t>(mdb_get_int32(mdb_->pg_buf, 4)) != entry_.table_pg) {
      throw Damage(where + "rimanda alla pagina " + std::to_string(at.page) +
                   ", che non è una pagina di dati della tabella " + name_);
    }
    const auto rows = static_cast<unsigned>(mdb_get_int16(mdb_->pg_buf, kRowCountOffset));
    if (at.row >= rows || kRowOffsetsStart + 2 * rows > kJetPageSize) {
      throw Damage(where + "rimanda alla riga " + std::to_string(at.row) + " della pagina " +
                   std::to_string(at.page) + ", che non ha quella riga");
    }
    const unsigned flags = jet::RowFlags(mdb_->pg_buf, at.row);
    if ((flags & jet::kMovedData) == 0) {
      throw Damage(where + "rimanda alla riga " + std::to_string(at.row) + " della pagina " +
                   std::to_string(at.page) + ", che non è una riga spostata");
    }
    return flags;
  }

  MdbColumn* Column(unsigned i) const {
    return static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
  }

  FatalError Damage(const std::string& what) const {
    return FatalError("la tabella " + name_ + " è danneggiata: " + what);
  }

  // The current row's damage.
  FatalError RowDamage(const std::string& what) const {
    return Damage("riga " + std::to_string(rows_read_) + " (pagina " + std::to_string(page_) +
                  "): " + what);
  }

  // The field's bytes, after checking that they lie within the row (and so within the page).
  std::string_view FieldBytes(const MdbField& field, const MdbColumn& column) const {
    if (field.siz < 0 || field.start < row_start_ || field.start > row_end_ ||
        field.siz > row_end_ - field.start) {
      throw RowDamage("la colonna " + std::string(column.name) + " esce dalla riga");
    }
    std::string_view bytes(reinterpret_cast<const char*>(mdb_->pg_buf) + field.start,
                           static_cast<size_t>(field.siz));
    if (bytes.size() < StoredSize(column.col_type)) {
      throw RowDamage("la colonna " + std::string(column.name) + " è più corta del suo tipo");
    }
    return bytes;
  }

  // A page other than the one walked, in libmdb's second buffer; nullopt when the file has no such
  // page (libmdb reads a page at the very end of a file in memory as zeros).
  std::optional<std::string_view> ReadPage(uint32_t page) {
    if (page >= file_pages_ || mdb_read_alt_pg(mdb_, page) != static_cast<ssize_t>(kJetPageSize)) {
      return std::nullopt;
    }
    return std::string_view(reinterpret_cast<const char*>(mdb_->alt_pg_buf), kJetPageSize);
  }

  // Inlined by force: as a call per field it costs the walk of a large table a few percent.
  [[gnu::always_inline]] inline void AppendField(unsigned i, std::string& out) {
    const MdbField& field = fields_[i];
    const MdbColumn& column = *Column(i);
    if (!wanted_[i]) return AppendNull(out);
    // Yes/No keeps its value in the null flag: set means Yes. It is never Null.
    if (column.col_type == MDB_BOOL) return AppendBool(out, !field.is_null);
    if (field.is_null) return AppendNull(out);
    std::string_view bytes = FieldBytes(field, column);
    switch (column.col_type) {
      case MDB_BYTE:
        return AppendByte(out, static_cast<uint8_t>(bytes[0]));
      case MDB_INT:
        return AppendInteger(out, Load<int16_t>(bytes));
      case MDB_LONGINT:
      case MDB_COMPLEX:
        return AppendLong(out, Load<int32_t>(bytes));
      case MDB_FLOAT:
        return AppendSingle(out, Load<float>(bytes));
      case MDB_DOUBLE:
        return AppendDouble(out, Load<double>(bytes));
      case MDB_MONEY:
        return AppendCurrency(out, Load<int64_t>(bytes));
      case MDB_DATETIME:
        return AppendDateTime(out, Load<double>(bytes));
      case MDB_NUMERIC:
        return AppendDouble(out, jet::DecimalToDouble(bytes, column.col_prec));
      case MDB_REPID:
        return AppendText(out, jet::GuidText(bytes));
      case MDB_TEXT:
        text_.clear();
        jet::AppendTextAsUtf8(bytes, text_);
        return AppendText(out, text_);
      case MDB_MEMO:
        return AppendMemo(bytes, column, out);
      default:
        // OLE Object and Binary columns are never read by the program: they read as Null.
        return AppendNull(out);
    }
  }

  void AppendMemo(std::string_view field, const MdbColumn& column, std::string& out) {
    text_.clear();
    if (!field.empty()) {
      std::string stored;
      try {
        stored = jet::ReadLongValue(field, [this](uint32_t page) { return ReadPage(page); });
      } catch (const FatalError& e) {
        throw RowDamage("colonna " + std::string(column.name) + ": " + e.what());
      }
      jet::AppendTextAsUtf8(stored, text_);
    }
    AppendText(out, text_);
  }

  MdbHandle* mdb_;
  uint64_t file_pages_;
  std::string name_;
  MdbCatalogEntry entry_{};  // table_ points at it
  std::unique_ptr<MdbTableDef, TableFreer> table_;
  std::vector<std::string> names_;
  std::vector<bool> wanted_;
  std::vector<MdbField> fields_;
  unsigned rows_on_page_ = 0;
  unsigned next_row_ = 0;
  int row_start_ = 0;
  int row_end_ = 0;
  uint64_t rows_read_ = 0;
  uint64_t slots_without_row_ = 0;   // on the walked pages: deleted rows, moved rows' data
  uint64_t moved_data_reached_ = 0;  // slots that the moved rows read led to
  std::string text_;
  std::array<unsigned char, kJetPageSize> walked_page_;  // while a moved row is read
  // The pages to walk, and which of them are this part's: from next_page_ to end_page_.
  std::vector<uint32_t> pages_;
  size_t next_page_ = 0;
  size_t end_page_ = 0;
  uint32_t page_ = 0;  // the page whose rows are being walked
};

struct CatalogEntry {
  std::string name;
  uint32_t definition_page = 0;
  int type = 0;
};

// The table's catalog entry; nullopt when the catalog has no table of that name.
std::optional<CatalogEntry> FindTable(MdbHandle* mdb, uint64_t file_pages, std::string_view table) {
  TableWalker catalog(mdb, file_pages, kCatalogPage, "MSysObjects", {"Id", "Name", "Type"});
  const std::vector<std::string>& columns = catalog.column_names();
  auto find = [&columns](std::string_view name) {
    for (size_t i = 0; i < columns.size(); ++i) {
      if (SameName(columns[i], name)) return i;
    }
    throw FatalError("il catalogo non ha la colonna " + std::string(name));
  };
  const size_t id = find("Id"), name = find("Name"), type = find("Type");
  const std::string folded = platform::FoldCase(table);
  std::optional<CatalogEntry> found;
  std::string encoded;
  std::vector<Value> row(columns.size());
  while (catalog.Next(encoded)) {
    DecodeRow(encoded, 0, row);
    const auto* object_name = std::get_if<std::string>(&row[name]);
    const auto* object_id = std::get_if<int32_t>(&row[id]);
    const auto* object_type = std::get_if<int16_t>(&row[type]);
    if (found || !object_name || !object_id || !object_type) continue;
    int kind = *object_type & 0x7F;
    if ((kind == kLocalTable || kind == kLinkedOdbcTable || kind == kLinkedAccessTable) &&
        MatchesFolded(*object_name, folded)) {
      found = CatalogEntry{*object_name, static_cast<uint32_t>(*object_id) & 0x00FFFFFF, kind};
    }
  }
  catalog.CheckComplete();
  return found;
}

}  // namespace

namespace {

using Handle = std::unique_ptr<MdbHandle, HandleCloser>;

// `file_size` is the file's size in bytes.
TableRead ReadFrom(const Handle& mdb, uint64_t file_size, std::string_view table, TableSink& sink,
                   TablePart part) {
  if (!mdb) throw FatalError("libmdb non apre il file");
  if (mdb->f->jet_version != MDB_VER_JET4) {
    throw FatalError("il file non è un database Access 2000 (Jet 4)");
  }
  const uint64_t pages = file_size / kJetPageSize;
  std::optional<CatalogEntry> entry = FindTable(mdb.get(), pages, table);
  if (!entry) return TableRead::kNotFound;
  if (entry->type != kLocalTable) {
    throw FatalError("la tabella " + entry->name +
                     " è collegata a un altro database, che questo programma non legge");
  }
  TableWalker walker(mdb.get(), pages, entry->definition_page, entry->name, {}, part);
  sink.Begin(walker.rows_stored(), walker.column_names());
  std::string row;
  while (walker.Next(row)) sink.Row(row);
  sink.End(walker.deleted_rows());
  return TableRead::kRead;
}

}  // namespace

TableRead ReadMdbTable(const std::string& path, std::string_view table, TableSink& sink,
                       TablePart part) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(platform::Utf8Path(path), error);
  return ReadFrom(Handle(mdb_open(path.c_str(), MDB_NOFLAGS)), error ? 0 : size, table, sink, part);
}

TableRead ReadMdbTableInMemory(std::string_view file, std::string_view table, TableSink& sink,
                               TablePart part) {
  // Opened read-only: libmdb never writes through the pointer.
  void* bytes = const_cast<char*>(file.data());
  return ReadFrom(Handle(mdb_open_buffer(bytes, file.size(), MDB_NOFLAGS)), file.size(), table,
                  sink, part);
}

}  // namespace catpub::db::reader
