// The default text of a stored value: what Windows gives when a program joins the value to a text,
// with the shop's Italian regional settings. The export writes the mark-up (ricart) in this form,
// reads colare's leading number from it, and stores any non-text value of a text field through it.
#pragma once

#include <string>

#include "db/value.h"

namespace catpub::publish {

// Appends the text of `value` and returns true; returns false, appending nothing, for a Date/Time
// outside the years 100 to 9999, which has no text (Windows reports an error). The forms:
// - Null: nothing; Text and Memo: unchanged;
// - Byte, Integer, Long: decimal digits;
// - Single: up to 7 significant digits, Double: up to 15 (see AppendRealText): 5.5 is "5,5";
// - Currency: see AppendCurrencyText;
// - Yes/No: "Vero" or "Falso", the Italian words Windows uses for True and False on the shop's
//   system (deliberately not "True"/"False");
// - Date/Time: short date "dd/mm/yyyy" and long time "HH:MM:SS" (24 h), rounded to the second,
//   separated by a blank; the date alone when the time of day is 00:00:00, the time alone when the
//   day part is 0 (30/12/1899), as Windows does. Days before 30/12/1899 count back, with the time
//   running forward: -1.25 is "29/12/1899 06:00:00".
bool AppendValueText(const db::Value& value, std::string& out);

}  // namespace catpub::publish
