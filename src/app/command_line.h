// The program's command line. A scheduled run takes no arguments; the only words it answers are
// "--help" and "--version", for the admin who installs it, and anything else is refused before the
// run touches a file, so that a mistyped scheduler entry never publishes by accident.
#pragma once

#include <cstdio>
#include <optional>

#include "app/exit_status.h"

namespace catpub::app {

// With no arguments returns nullopt: the caller performs the run. Otherwise answers here and
// returns the exit status: "--help" alone prints what the program does to `out`, "--version" alone
// prints "catalog-publisher " and the version to `out`, both kSuccess; anything else writes one
// usage line to `err` and gives kUsageError. argv[0] is never printed: it may be any path.
std::optional<ExitStatus> AnswerCommandLine(int argc, const char* const* argv, std::FILE* out,
                                            std::FILE* err);

}  // namespace catpub::app
