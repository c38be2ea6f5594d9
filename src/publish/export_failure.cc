#include "publish/export_failure.h"

namespace catpub::publish {

void AddPlace(FatalError& error, const WalkPlace& place) {
  FailureFields& fields = error.fields();
  if (fields.row != 0) return;
  fields.row = place.row;
  fields.article = place.article;
  fields.barcode = place.barcode;
}

FatalError NoText(std::string_view table, std::string_view column) {
  return FatalError("data fuori limite").InColumn(std::string(table), std::string(column));
}

}  // namespace catpub::publish
