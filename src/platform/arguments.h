// The program's command-line arguments in UTF-8, as the rest of the program takes text. On Windows
// main()'s argv is in the ANSI code page, which cannot hold every file name; the arguments are
// taken from the system's own UTF-16 command line instead.
#pragma once

#include <string>
#include <vector>

namespace catpub::platform {

// The arguments, argv[0] first. `argc` and `argv` are main()'s, used as they are on POSIX.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

}  // namespace catpub::platform
