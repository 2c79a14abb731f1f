// Why the last failed system call failed, in the system's own words.
#pragma once

#include <string>

namespace zek::platform {

// The description perror would print for the failure just met.
std::string lastErrorText();

}  // namespace zek::platform
