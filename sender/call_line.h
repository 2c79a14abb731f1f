// Sub-program calls written into a program: "&" lines and "(C" comment lines.
#pragma once

#include <cstddef>

#include "sender/subprogram_send.h"

namespace zek::sender {

struct CallLine {
    CallKind kind = CallKind::Inline;
    const char* name = nullptr;  // points into the line; nameLength characters
    std::size_t nameLength = 0;
    char* macroSpec = nullptr;  // the text after the name's separator, or nullptr
};

// true when the line is a call line, with what it calls in *call.
bool findCallLine(char* line, CallLine* call);

}  // namespace zek::sender
