// The name the library gives a tape: its program number.
#pragma once

#include <string>

namespace zek::library {

// "O" and the digits after the "O", "o" or ":" that begins the first of the
// first three non-empty program lines to begin so ("O1234 (PART A)",
// ":1234" -> "O1234"). "" when none does or its digits run beyond eight.
std::string programName(const std::string& path);

}  // namespace zek::library
