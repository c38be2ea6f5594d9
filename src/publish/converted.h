// The outcome of converting a stored value to a number the export needs: the number, or why there
// is none. The export turns a failure into a fatal error naming table, column and row.
#pragma once

namespace catpub::publish {

enum class ConversionError {
  kNone,
  kNull,        // the value is Null
  kNotANumber,  // a text that does not read as a number
  kOutOfRange,  // a number the target cannot hold (also NaN and infinities)
};

template <typename T>
struct Converted {
  T value{};
  ConversionError error = ConversionError::kNone;

  bool ok() const { return error == ConversionError::kNone; }
  static Converted Failure(ConversionError why) { return Converted{T{}, why}; }
};

}  // namespace catpub::publish
