// Reads one table of an Access 2000 file through libmdb, every value decoded exactly from its
// stored bytes after its position was checked against the page. libmdb can crash, loop or exhaust
// memory on a damaged file, so this runs only inside the reader process (and in-process in the
// benchmark and the fuzz target, which expect that).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace catpub::db::reader {

// Receives a table: its columns once, then its rows in stored order, each encoded as
// db/row_codec.h says, then its end. A row that Access moved to another page comes in its place,
// where its pointer stays, as Access itself returns it.
class TableSink {
 public:
  virtual ~TableSink() = default;
  virtual void Begin(uint32_t rows_stored, const std::vector<std::string>& columns) = 0;
  virtual void Row(std::string_view encoded) = 0;
  // After the last row: the part's share of the deleted rows, as wire::End::deleted_rows says.
  virtual void End(int64_t deleted_rows) = 0;
};

enum class TableRead { kRead, kNotFound };

// A share of a table to read: part `index` of `count`, the pages the table's page map lists being
// split into `count` runs of about as many pages, in stored order. The rows of all parts, part
// after part, are the rows of the table. A page map of a kind Access does not write lists every
// page of the file, of which each part keeps the table's own.
struct TablePart {
  uint32_t index = 0;
  uint32_t count = 1;
};

// Reads table `table` (matched as db::SameName matches names) of the file at `path` into `sink`,
// its end included. kNotFound when the database has no such table (the sink then got nothing).
// Throws FatalError saying what is damaged when the file cannot be read: it is not an Access 2000
// database, its catalog or the table's definition cannot be read, its page map names a page past
// the end of the file or one that cannot be read, a page counts more rows than a page holds, a row
// does not fit its page, a moved row's pointer leads nowhere (past the file, to another table's
// page or a row its page lacks, or round in a chain), a Memo value's pages are broken, or the
// catalog yields fewer rows than it stores and deleted rows explain. Each page is walked once, so
// the walk ends whatever the file holds. The table's own rows are not held to its count here:
// whoever receives them counts them, over all the parts (db/row_count.h).
TableRead ReadMdbTable(const std::string& path, std::string_view table, TableSink& sink,
                       TablePart part = {});

// The same, over the whole file's bytes in memory (a read-only mapping of it): libmdb then reads
// its pages without three system calls each.
TableRead ReadMdbTableInMemory(std::string_view file, std::string_view table, TableSink& sink,
                               TablePart part = {});

}  // namespace catpub::db::reader
