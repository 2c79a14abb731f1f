// The text block that the program senders fill in Protocol A server mode.
#pragma once

constexpr int dataBlockCapacity = 4096;

extern char dataBlock[dataBlockCapacity];
extern int dataBlockLength;

void clearDataBlock();
void appendDataBlock(const char* text);
// Sends the block as one DAT record and carries the dialogue until the
// controller asks for more (0, block emptied) or the transfer must stop (-1).
int sendDataBlock();
