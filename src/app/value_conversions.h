// Stand-in conversions of column values until the export's own land (text and 32-bit whole number).
#pragma once

#include <cstdint>
#include <string>

#include "db/value.h"

namespace catpub::app {

std::string ToText(const db::Value& value);
// To a 32-bit whole number, halves to even. Throws FatalError naming `what` when it cannot.
int32_t ToLong(const db::Value& value, const std::string& what);

}  // namespace catpub::app
