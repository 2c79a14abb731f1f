// The opening of a client run: the PC asks, the controller answers in kind.
#pragma once

// SYN, SYN, RDY, each answered with the same type; repeated until it succeeds.
void clientHandshake();
