// One column of each type the writer writes, which are the Access column types the program reads.
// The "every type" tables of the writer's round trip, of the reader's tests and of the fuzz seeds
// are all built on these columns, so that a type added here is exercised everywhere.
#pragma once

#include <vector>

#include "mdbwriter/mdb_writer.h"

namespace catpub::mdbwriter {

// sino (Yes/No), byte, intero, lungo, valuta (Currency), singolo, doppio, data (Date/Time), testo
// (Text of 255 characters), nota (Memo), in this order.
inline std::vector<Column> EveryTypeColumns() {
  return {{"sino", ColumnType::kBoolean},    {"byte", ColumnType::kByte},
          {"intero", ColumnType::kInteger},  {"lungo", ColumnType::kLong},
          {"valuta", ColumnType::kCurrency}, {"singolo", ColumnType::kSingle},
          {"doppio", ColumnType::kDouble},   {"data", ColumnType::kDateTime},
          {"testo", ColumnType::kText, 255}, {"nota", ColumnType::kMemo}};
}

}  // namespace catpub::mdbwriter
