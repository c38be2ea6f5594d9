// The program's command line. A scheduled run takes no arguments; the only words it answers are
// "--help" and "--version", for the admin who installs it, and anything else is refused before the
// run touches a file, so that a mistyped scheduler entry never publishes by accident.
#pragma once

#include <cstdio>
#include <optional>

namespace catpub::app {

// The exit status of a command line that was refused (EX_USAGE of <sysexits.h>).
inline constexpr int kUsageStatus = 64;

// With no arguments returns nullopt: the caller performs the run. Otherwise answers here and
// returns the exit status: "--help" alone prints what the program does to `out`, "--version" alone
// prints "catalog-publisher " and the version to `out`, both 0; anything else writes one usage line
// to `err` and gives kUsageStatus. argv[0] is never printed: it may be any path.
std::optional<int> AnswerCommandLine(int argc, const char* const* argv, std::FILE* out,
                                     std::FILE* err);

}  // namespace catpub::app
