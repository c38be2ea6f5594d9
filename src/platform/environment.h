// The process's environment variables.
#pragma once

namespace catpub::platform {

// Removes the variable `name` from this process's environment, if it is there; never fails. Not
// while another thread reads the environment.
void RemoveFromEnvironment(const char* name);

}  // namespace catpub::platform
