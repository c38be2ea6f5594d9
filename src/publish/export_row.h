// One line of the article export "C:\orbis\articoli.csv". Its fields are named after the columns
// they come from.
#pragma once

#include <string>

#include "db/value.h"
#include "publish/fixed_text.h"

namespace catpub::publish {

struct ExportRow {
  FixedText eanare{13};  // codean.eanare
  FixedText desart{50};  // listi01.desart
  FixedText desrep{30};  // listi01.desrep
  FixedText ivart{2};    // listi01.ivart
  db::Currency cosiva;
  db::Currency przpub;
  db::Value ricart;  // as stored, Null included
  db::Currency przsal;
  FixedText codafo{16};  // all blanks when the column is Null
  // The value of the 16 characters of codafo when they read as a number, else 0.
  double supplier_number = 0;
};

// Replaces `line` with the nine fields, each followed by ";" (the last one too, on purpose):
// eanare, desart, desrep, ivart as their fixed widths; cosiva, przpub as currency text; ricart as
// its default text (nothing for Null); przsal as currency text; the supplier number as the text of
// a Double ("12345", "12,5", "1E+15"). No quoting: a ";" inside a description stays as it is. The
// line end is the file's business. Returns false, `line` then unusable, when ricart is a Date/Time
// without text (see AppendValueText).
bool ComposeLine(const ExportRow& row, std::string& line);

}  // namespace catpub::publish
