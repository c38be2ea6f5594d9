#include "publish/export_row.h"

#include "publish/number_text.h"
#include "publish/value_text.h"

namespace catpub::publish {

bool ComposeLine(const ExportRow& row, std::string& line) {
  line.clear();
  line += row.eanare.view();
  line += ';';
  line += row.desart.view();
  line += ';';
  line += row.desrep.view();
  line += ';';
  line += row.ivart.view();
  line += ';';
  AppendCurrencyText(row.cosiva, line);
  line += ';';
  AppendCurrencyText(row.przpub, line);
  line += ';';
  if (!AppendValueText(row.ricart, line)) return false;
  line += ';';
  AppendCurrencyText(row.przsal, line);
  line += ';';
  AppendRealText(row.supplier_number, kDoubleDigits, line);
  line += ';';
  return true;
}

}  // namespace catpub::publish
