#include "publish/export_failure.h"

namespace catpub::publish {

void AddPlace(FatalError& error, const WalkPlace& place) {
  RowPlace& reported = error.fields().place;
  if (reported.row != 0) return;
  reported = RowPlace{"codean", place.row, {}};
  if (place.article) reported.known_by.emplace_back("articolo", std::to_string(*place.article));
  if (place.barcode) reported.known_by.emplace_back("codice a barre", *place.barcode);
}

FatalError NoText(std::string_view table, std::string_view column) {
  return FatalError("data fuori limite").InColumn(std::string(table), std::string(column));
}

}  // namespace catpub::publish
