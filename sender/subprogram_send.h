// Sends the program between its "%" lines, expanding sub-program calls.
#pragma once

#include "sender/macro_file.h"

enum CallKind { InlineCall, BlockCall };

// 0 when the file was sent to its end, -1 when anything failed. The top-level
// call passes isTop true, no rules and sequence number 1.
int subProgramSend(const char* name, bool isTop, CallKind kind, int sequenceNumber,
                   const RuleList* rules);
