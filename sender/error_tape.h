// The comment and end-of-tape line that tell the controller why a transfer stopped.
#pragma once

#include "sender/text_sink.h"

namespace zek::sender {

// What went wrong, as the comment of the tape names it.
constexpr const char* notFoundProblem = "IS NOT FOUND!! ";
constexpr const char* errorCloseProblem = "ERROR-CLOSE!! ";
constexpr const char* macroErrorProblem = "MACRO-ERROR!! ";
constexpr const char* loopProblem = "ERR-LOOP!!";

// Delivers the comment naming the file and the problem, then the line "%".
void sendErrorTape(TextSink& sink, const char* problem, const char* name);

}  // namespace zek::sender
