#include "publish/export_failure.h"

namespace catpub::publish {

std::string Where(const WalkPlace& place) {
  std::string where = " (riga " + std::to_string(place.row) + " di codean";
  if (place.article) where += ", articolo " + std::to_string(*place.article);
  if (place.barcode) where += ", codice a barre " + *place.barcode;
  return where + ")";
}

FatalError Reported(const FatalError& error, std::string_view where) {
  std::string message = error.what();
  if (message.starts_with("ERRORE")) return error;
  return FatalError("ERRORE : esportazione articoli: " + message + std::string(where));
}

FatalError NoText(std::string_view table, std::string_view column, const WalkPlace& place) {
  return FatalError("ERRORE : data fuori limite in " + std::string(table) + '.' +
                    std::string(column) + Where(place));
}

}  // namespace catpub::publish
