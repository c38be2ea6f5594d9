#include "db/row_count.h"

namespace catpub::db {

std::string RowCountMismatch(std::string_view table, uint64_t stored, uint64_t read) {
  return "la tabella " + std::string(table) + " contiene " + std::to_string(stored) +
         " righe ma se ne leggono " + std::to_string(read);
}

std::string MoreRowsThanPagesHold(std::string_view table, uint64_t pages) {
  return "la tabella " + std::string(table) + " dà più righe di quante ne possano stare nelle " +
         std::to_string(pages) + " pagine del file";
}

}  // namespace catpub::db
