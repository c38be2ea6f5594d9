// The benchmarks' command lines: named options only, "--name=value", so that no stray word (a row
// count, say) is ever taken for the folder to write a large database into.
#pragma once

#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace catpub::bench {

// The options given, by name. Prints `usage` to standard error and returns nullopt when an argument
// is not "--name=value" with a name from `names`, or a name is given twice.
inline std::optional<std::map<std::string, std::string>> NamedOptions(
    int argc, char** argv, const std::set<std::string>& names, const char* usage) {
  std::map<std::string, std::string> options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const size_t equals = arg.find('=');
    const std::string name = arg.starts_with("--") ? arg.substr(2, equals - 2) : "";
    if (equals == std::string::npos || !names.contains(name) ||
        !options.emplace(name, arg.substr(equals + 1)).second) {
      std::fprintf(stderr, "%s: unknown or repeated argument \"%s\"\nusage: %s\n", argv[0],
                   arg.c_str(), usage);
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace catpub::bench
