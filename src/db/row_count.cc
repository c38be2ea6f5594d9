#include "db/row_count.h"

namespace catpub::db {
namespace {

std::string Stores(std::string_view table, uint64_t stored) {
  return "la tabella " + std::string(table) + " contiene " + std::to_string(stored) +
         " righe ma se ne leggono ";
}

}  // namespace

std::string RowCountMismatch(std::string_view table, uint64_t stored, uint64_t read) {
  return Stores(table, stored) + std::to_string(read);
}

std::string RowCountExceeded(std::string_view table, uint64_t stored) {
  return Stores(table, stored) + "di più";
}

}  // namespace catpub::db
