// Which program lines a sub-program call leaves out or changes, and the
// -M option's dropping of L lines.
#pragma once

#include "sender/subprogram_send.h"

namespace zek::sender {

// false when the line is dropped. A block-called sub-program's end code may
// be turned into "G68\n" in place (the buffer holds at least 5 bytes).
bool passesLineFilters(char* line, bool isTop, CallKind kind, const SendSettings& settings);

}  // namespace zek::sender
