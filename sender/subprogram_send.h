// Sends the program between its "%" lines, expanding sub-program calls.
#pragma once

#include <cstddef>

#include "sender/macro_file.h"

// A program line is read in pieces of at most lineReadSize - 1 characters. Its
// buffer has room for every rule of a call to lengthen it by TO and a blank.
constexpr std::size_t lineReadSize = 1024;
constexpr std::size_t lineBufferSize = lineReadSize + maxRules * (maxRuleTextLength + 1);

enum CallKind { InlineCall, BlockCall };

// 0 when the file was sent to its end, -1 when anything failed. The top-level
// call passes isTop true, no rules and sequence number 1.
int subProgramSend(const char* name, bool isTop, CallKind kind, int sequenceNumber,
                   const RuleList* rules);
