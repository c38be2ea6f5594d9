// What a shell command prints, for tests that play the user of a real window through xdotool and
// xprop.
#pragma once

#include <cctype>
#include <cstdio>
#include <string>

namespace catpub::testing {

// Runs `command` with its standard error discarded; returns its standard output without trailing
// white space (empty when it could not be run).
inline std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    pclose(pipe);
  }
  while (!out.empty() && std::isspace(static_cast<unsigned char>(out.back()))) out.pop_back();
  return out;
}

}  // namespace catpub::testing
