// How the program senders hand text to the controller: as a tape stream
// through the block sender, or, in Protocol A server mode, through the data
// block that goes out as DAT records. Each function returns 0, or -1 when
// the text could not be delivered.
#pragma once

#include <cstddef>

// An error tape: sent at once; the caller does not look at the result.
void deliverErrorTape(const char* text);

// A header before a sub-program's lines. In Protocol A server mode it is
// sent at once, and a failure there ends the run.
int deliverHeader(const char* text);

// A program line. In Protocol A server mode it joins the data block, which
// goes out once it is nearly full.
int deliverLine(const char* text);

// The top-level program's closing line: whatever is gathered goes out.
int deliverClosingLine(const char* text);

// A piece of a file sent unchanged: in Protocol A server mode one DAT record
// of its own, cut at a zero byte.
int deliverPiece(const char* piece, std::size_t length);
