// The text block that the program senders fill in Protocol A server mode.
#pragma once

constexpr int dataBlockCapacity = 4096;

extern char dataBlock[dataBlockCapacity];
extern int dataBlockLength;

void clearDataBlock();
// Appends zero-terminated text. -1, leaving the block as it was, when the
// text would not fit into one DAT record.
int appendDataBlock(const char* text);
// Sends the block as one DAT record and carries the dialogue until the
// controller asks for more (0, block emptied) or the transfer must stop (-1).
// The answer due to the controller has been sent in either case.
int sendDataBlock();
