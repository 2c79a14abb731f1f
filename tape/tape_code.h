// The three punched-tape codes on the line: ISO (even parity in bit 7), EIA
// and plain ASCII. Programs are held inside as 7-bit ASCII with LF line ends.
#pragma once

#include <array>
#include <cstdint>

namespace zek::tape {

// The code of a tape on the line.
enum class TapeCode : int16_t {
    IsoDefault = 0,  // ISO; on a Protocol B receive the code is taken from the start code
    Ascii = 1,
    Iso = 2,
    Eia = 3,
};

// Codes that the protocols look for on the line.
constexpr unsigned char asciiPercent = 0x25;
constexpr unsigned char isoPercent = 0xA5;
constexpr unsigned char eiaPercent = 0x0B;
constexpr unsigned char isoSyn = 0x96;
constexpr unsigned char dc2 = 0x12;  // before the leader of a paper tape
constexpr unsigned char dc4 = 0x14;  // after its trailer

unsigned char isoEncode(unsigned char c);  // bit 7 set to make the 1-bits even
unsigned char isoDecode(unsigned char b);  // bit 7 cleared
unsigned char eiaEncode(unsigned char c);
unsigned char eiaDecode(unsigned char b);

// The code on the line of every byte 0..255, as the encoders above give it:
// a punch-out looks each character up here.
using ByteTable = std::array<unsigned char, 256>;
const ByteTable& encodeTable(TapeCode code);

// A byte received in the tape code, as ASCII (ASCII tapes as they came).
unsigned char decodeLineByte(TapeCode code, unsigned char b);

}  // namespace zek::tape
