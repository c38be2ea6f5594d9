#include "db/row_count.h"

#include <algorithm>

namespace catpub::db {

bool RowsLost(uint64_t stored, uint64_t read, int64_t deleted) {
  return read < stored && stored - read > static_cast<uint64_t>(std::max<int64_t>(deleted, 0));
}

std::string RowCountMismatch(std::string_view table, uint64_t stored, uint64_t read,
                             int64_t deleted) {
  return "la tabella " + std::string(table) + " contiene " + std::to_string(stored) +
         " righe ma se ne leggono " + std::to_string(read) +
         (deleted > 0 ? " (e " + std::to_string(deleted) + " cancellate)" : "");
}

std::string MoreRowsThanPagesHold(std::string_view table, uint64_t pages) {
  return "la tabella " + std::string(table) + " dà più righe di quante ne possano stare nelle " +
         std::to_string(pages) + " pagine del file";
}

}  // namespace catpub::db
