// A text field of fixed width, like a "String * N" variable: a shorter text is padded with blanks
// on the right, a longer one is cut on the right. Widths count characters, not bytes (texts are
// UTF-8).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace catpub::publish {

class FixedText {
 public:
  explicit FixedText(size_t width);

  // Stores the first `width` characters of `text`, blanks added up to the width.
  void Assign(std::string_view text);
  // All blanks.
  void Clear();
  // Always exactly `width` characters.
  std::string_view view() const { return text_; }

 private:
  size_t width_;
  std::string text_;  // reused from value to value
};

// The first `count` characters of `text` (UTF-8): all of it when it has no more. A field of width
// `count` keeps these.
std::string_view FirstCharacters(std::string_view text, size_t count);

}  // namespace catpub::publish
