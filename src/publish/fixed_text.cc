#include "publish/fixed_text.h"

#include <cstring>

namespace catpub::publish {
namespace {

// UTF-8 continuation bytes are 10xxxxxx; every other byte starts a character.
bool StartsCharacter(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }

}  // namespace

FixedText::FixedText(size_t width) : width_(width), text_(width, ' ') {}

void FixedText::Assign(std::string_view text) {
  if (text.size() <= width_) {
    // Nothing to cut (a text has no more characters than bytes): only the blanks to add are
    // counted, in one pass without branches.
    size_t continuations = 0;
    for (char byte : text) continuations += !StartsCharacter(byte);
    // In place: the buffer mostly has the right size already.
    const size_t blanks = width_ - (text.size() - continuations);
    text_.resize(text.size() + blanks);
    std::memcpy(text_.data(), text.data(), text.size());
    std::memset(text_.data() + text.size(), ' ', blanks);
    return;
  }
  const std::string_view kept = FirstCharacters(text, width_);
  size_t characters = 0;
  for (char byte : kept) characters += StartsCharacter(byte);
  text_.assign(kept);
  text_.append(width_ - characters, ' ');
}

void FixedText::Clear() { text_.assign(width_, ' '); }

std::string_view FirstCharacters(std::string_view text, size_t count) {
  size_t characters = 0;
  for (size_t end = 0; end < text.size(); ++end) {
    if (StartsCharacter(text[end]) && characters++ == count) return text.substr(0, end);
  }
  return text;
}

}  // namespace catpub::publish
