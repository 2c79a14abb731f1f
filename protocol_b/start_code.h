// The start code "%" that opens a tape, in the code the tape is punched in.
#pragma once

#include "tape/tape_code.h"

// The code whose "%" the byte is, as readByte delivers it; IsoDefault when it
// is no start code.
TapeCode startCodeOf(int lineByte);

// Takes a byte as readByte delivers it. When it is "%" in ISO, EIA or ASCII:
// reports the code, sets codeMode to it and returns true. An EIA tape under
// DC3 0x13 flow switches the link to the NC DC3 0x93, opening it anew.
bool takeStartCode(int lineByte);
