// The one error that means "this run cannot go on". Adapters throw it with a message that names what
// failed (file, table, column, row, server reply); the entry point alone catches it, reports it and
// turns it into exit status 3.
#pragma once

#include <stdexcept>
#include <string>

namespace catpub {

class FatalError : public std::runtime_error {
 public:
  explicit FatalError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace catpub
