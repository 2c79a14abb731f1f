// The block sender: program text to tape code on the line.
#pragma once

// Converts a block of program text (7-bit ASCII, LF line ends) to the tape
// code, writes it and counts its progress; the line is checked before it.
// The length plus twice the line feeds must stay within sendBufferSize.
constexpr int sendBufferSize = 2048;
int sendBlock(const char* text, int length);
