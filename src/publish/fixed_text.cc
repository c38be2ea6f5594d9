#include "publish/fixed_text.h"

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
    text_.assign(text.data(), text.size());
    text_.append(width_ - (text.size() - continuations), ' ');
    return;
  }
  size_t characters = 0;
  size_t end = 0;
  for (; end < text.size(); ++end) {
    if (StartsCharacter(text[end])) {
      if (characters == width_) break;
      ++characters;
    }
  }
  text_.assign(text.data(), end);
  text_.append(width_ - characters, ' ');
}

void FixedText::Clear() { text_.assign(width_, ' '); }

}  // namespace catpub::publish
