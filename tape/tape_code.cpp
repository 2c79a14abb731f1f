#include "tape/tape_code.h"

#include <array>

namespace zek::tape {

namespace {

constexpr unsigned char eiaSpace = 0x10;
constexpr unsigned char eiaUnknownLow = ' ';    // codes 0x00..0x8F without a character
constexpr unsigned char eiaUnknownHigh = 0x00;  // codes 0x90..0xFF
constexpr int eiaFirstHighCode = 0x90;

struct EiaPair {
    char character;
    unsigned char code;
};

// The EIA RS-244 codes that translate both ways.
constexpr EiaPair eiaCodes[] = {
    {'\n', 0x80}, {'%', 0x0B}, {'&', 0x0E}, {'(', 0x1A}, {')', 0x4A}, {'+', 0x70}, {'-', 0x40}, {'.', 0x6B},
    {'/', 0x31},  {'0', 0x20}, {'1', 0x01}, {'2', 0x02}, {'3', 0x13}, {'4', 0x04}, {'5', 0x15}, {'6', 0x16},
    {'7', 0x07},  {'8', 0x08}, {'9', 0x19}, {'A', 0x61}, {'B', 0x62}, {'C', 0x73}, {'D', 0x64}, {'E', 0x75},
    {'F', 0x76},  {'G', 0x67}, {'H', 0x68}, {'I', 0x79}, {'J', 0x51}, {'K', 0x52}, {'L', 0x43}, {'M', 0x54},
    {'N', 0x45},  {'O', 0x46}, {'P', 0x57}, {'Q', 0x58}, {'R', 0x49}, {'S', 0x32}, {'T', 0x23}, {'U', 0x34},
    {'V', 0x25},  {'W', 0x26}, {'X', 0x37}, {'Y', 0x38}, {'Z', 0x29},
};

// Characters without an EIA code of their own: sent as the code of a look-alike,
// or as a code that reads back as a space.
constexpr EiaPair eiaSendOnly[] = {
    {'#', 0x49}, {'*', 0x0E}, {':', 0x46}, {'[', 0x1C}, {']', 0x8C},
};

// Codes the controller punches that the encoder never produces.
constexpr EiaPair eiaReceiveOnly[] = {
    {'=', 0x3B},
    {'\b', 0x2A},
};

constexpr bool isUpperLetter(char c)
{
    return c >= 'A' && c <= 'Z';
}

// Bytes above 127 have no character and go out as a space.
constexpr ByteTable makeEiaEncodeTable()
{
    ByteTable table{};
    for (unsigned char& code : table)
        code = eiaSpace;
    for (const EiaPair& pair : eiaCodes) {
        table[static_cast<unsigned char>(pair.character)] = pair.code;
        if (isUpperLetter(pair.character))
            table[static_cast<unsigned char>(pair.character - 'A' + 'a')] = pair.code;
    }
    for (const EiaPair& pair : eiaSendOnly)
        table[static_cast<unsigned char>(pair.character)] = pair.code;
    return table;
}

constexpr ByteTable makeEiaDecodeTable()
{
    ByteTable table{};
    for (int code = 0; code < 256; ++code)
        table[code] = code < eiaFirstHighCode ? eiaUnknownLow : eiaUnknownHigh;
    for (const EiaPair& pair : eiaCodes)
        table[pair.code] = static_cast<unsigned char>(pair.character);
    for (const EiaPair& pair : eiaReceiveOnly)
        table[pair.code] = static_cast<unsigned char>(pair.character);
    return table;
}

constexpr ByteTable eiaEncodeTable = makeEiaEncodeTable();
constexpr ByteTable eiaDecodeTable = makeEiaDecodeTable();

constexpr unsigned char sevenBits = 0x7F;
constexpr unsigned char parityBit = 0x80;

constexpr bool hasOddOnes(unsigned char bits)
{
    int ones = 0;
    for (; bits != 0; bits >>= 1)
        ones += bits & 1;
    return ones % 2 != 0;
}

// Every character of a punched-out program passes here: look the parity up.
// Bit 7 is the parity bit, whatever the byte held there.
constexpr ByteTable isoEncodeTable = [] {
    ByteTable table{};
    for (int b = 0; b < 256; ++b) {
        auto c = static_cast<unsigned char>(b & sevenBits);
        table[b] = hasOddOnes(c) ? static_cast<unsigned char>(c | parityBit) : c;
    }
    return table;
}();

constexpr ByteTable asciiEncodeTable = [] {
    ByteTable table{};
    for (int b = 0; b < 256; ++b)
        table[b] = static_cast<unsigned char>(b);
    return table;
}();

}  // namespace

unsigned char isoEncode(unsigned char c)
{
    return isoEncodeTable[c];
}

unsigned char isoDecode(unsigned char b)
{
    return b & sevenBits;
}

unsigned char eiaEncode(unsigned char c)
{
    return eiaEncodeTable[c];
}

unsigned char eiaDecode(unsigned char b)
{
    return eiaDecodeTable[b];
}

const ByteTable& encodeTable(TapeCode code)
{
    switch (code) {
    case TapeCode::Eia:
        return eiaEncodeTable;
    case TapeCode::Ascii:
        return asciiEncodeTable;
    case TapeCode::IsoDefault:
    case TapeCode::Iso:
        break;
    }
    return isoEncodeTable;
}

unsigned char decodeLineByte(TapeCode code, unsigned char b)
{
    switch (code) {
    case TapeCode::IsoDefault:
    case TapeCode::Iso:
        return isoDecode(b);
    case TapeCode::Eia:
        return eiaDecode(b);
    case TapeCode::Ascii:
        break;
    }
    return b;
}

}  // namespace zek::tape
