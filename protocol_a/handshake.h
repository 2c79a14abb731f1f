// The opening of a client run: the PC asks, the controller answers in kind.
#pragma once

#include "protocol_a/records.h"

namespace zek::protocol_a {

// SYN, SYN, RDY, each answered with the same type; repeated until it
// succeeds. false, after saying so, when the link is lost first.
bool clientHandshake(RecordLine& records);

}  // namespace zek::protocol_a
