#include <cstdlib>

#include "platform/environment.h"

namespace catpub::platform {

void RemoveFromEnvironment(const char* name) { ::unsetenv(name); }

}  // namespace catpub::platform
