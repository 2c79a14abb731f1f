// Protocol B: the plain tape stream.
#pragma once

using ReceiveOperation = int (*)(const char* fileName);

// One send or receive, or the server cycle of -s (never returns then).
void runProtocolB(ReceiveOperation receive);

// Stores one tape from the controller. 0 when the receive ran to its end,
// -1 when the file cannot be created or its start code cannot be stored.
int receiveProtocolB(const char* fileName);
