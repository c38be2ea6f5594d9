// How the article export words a failure for the run log: a line starting "ERRORE" that says what
// failed and where the walk over codean was.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/fatal_error.h"

namespace catpub::publish {

// Where the walk was, as far as known.
struct WalkPlace {
  long row = 0;                        // of codean, counted from 1
  std::optional<int32_t> article;      // once codare has been read as an article code
  std::optional<std::string> barcode;  // when eanare reads as text
};

// " (riga 3 di codean, articolo 1234, codice a barre 8001234567890)".
std::string Where(const WalkPlace& place);

// A failure worded by a lower layer, made a run-log line (messages that already start "ERRORE" are
// kept), with `where` added.
FatalError Reported(const FatalError& error, std::string_view where = {});

// A value of `table`.`column` that has no text.
FatalError NoText(std::string_view table, std::string_view column, const WalkPlace& place);

}  // namespace catpub::publish
