// The article export's part in a failure: where the walk over codean was, added to a failure that
// passes through it, and the failure of a value that has no text.
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

// Gives `error` the place of the walk, unless it has one already: a line that failed on the
// writer's thread carries the place of its own row, not of the row the walk has reached.
void AddPlace(FatalError& error, const WalkPlace& place);

// A value of `table`.`column` that has no text.
FatalError NoText(std::string_view table, std::string_view column);

}  // namespace catpub::publish
