#include <gtest/gtest.h>

#include <bitset>
#include <cctype>
#include <cstring>
#include <map>

#include "link/link.h"
#include "tape/tape_code.h"

using namespace zek::tape;

namespace {

int oneBits(unsigned value)
{
    return int(std::bitset<8>(value).count());
}

// The EIA code of every character that has one, as the controllers' code chart
// lists them; upper-case letters only.
const std::map<char, unsigned char> eiaChart = {
    {'\n', 0x80}, {'#', 0x49}, {'%', 0x0B}, {'&', 0x0E}, {'(', 0x1A}, {')', 0x4A}, {'*', 0x0E}, {'+', 0x70},
    {'-', 0x40},  {'.', 0x6B}, {'/', 0x31}, {':', 0x46}, {'[', 0x1C}, {']', 0x8C}, {'0', 0x20}, {'1', 0x01},
    {'2', 0x02},  {'3', 0x13}, {'4', 0x04}, {'5', 0x15}, {'6', 0x16}, {'7', 0x07}, {'8', 0x08}, {'9', 0x19},
    {'A', 0x61},  {'B', 0x62}, {'C', 0x73}, {'D', 0x64}, {'E', 0x75}, {'F', 0x76}, {'G', 0x67}, {'H', 0x68},
    {'I', 0x79},  {'J', 0x51}, {'K', 0x52}, {'L', 0x43}, {'M', 0x54}, {'N', 0x45}, {'O', 0x46}, {'P', 0x57},
    {'Q', 0x58},  {'R', 0x49}, {'S', 0x32}, {'T', 0x23}, {'U', 0x34}, {'V', 0x25}, {'W', 0x26}, {'X', 0x37},
    {'Y', 0x38},  {'Z', 0x29},
};

}  // namespace

TEST(IsoCode, EveryCharacterGetsEvenParityAndDecodingClearsOnlyBitSeven)
{
    for (int b = 0; b < 256; ++b) {
        unsigned char code = isoEncode(static_cast<unsigned char>(b));
        EXPECT_EQ(code & 0x7F, b & 0x7F) << "byte " << b;
        EXPECT_EQ(oneBits(code) % 2, 0) << "byte " << b;
        EXPECT_EQ(isoDecode(static_cast<unsigned char>(b)), b & 0x7F) << "byte " << b;
    }
    EXPECT_EQ(isoEncode(zek::link::dc3), zek::link::ncDc3);
    EXPECT_EQ(isoEncode(0x16), isoSyn);
    EXPECT_EQ(isoEncode('%'), isoPercent);
}

// Eight-track tape carries odd parity: a code with even parity is a misread.
TEST(EiaCode, EncodesEveryChartedCharacterWithOddParityAndSpaceForTheRest)
{
    for (int c = 0; c < 256; ++c) {
        auto charted = c < 128 ? eiaChart.find(static_cast<char>(std::toupper(c))) : eiaChart.end();
        unsigned char code = eiaEncode(static_cast<unsigned char>(c));
        EXPECT_EQ(code, charted == eiaChart.end() ? 0x10 : charted->second) << "character " << c;
        EXPECT_EQ(oneBits(code) % 2, 1) << "character " << c;
    }
}

TEST(EiaCode, DecodesChartedCodesAndUnchartedOnesToSpaceBelow0x90AndNulAbove)
{
    // "#*:[]" have codes shared with another character or read as space.
    for (const auto& [character, code] : eiaChart)
        EXPECT_TRUE(std::strchr("#*:[]", character) || eiaDecode(code) == character) << "code " << int(code);
    EXPECT_EQ(eiaDecode(0x3B), '=');
    EXPECT_EQ(eiaDecode(0x2A), '\b');
    for (unsigned char code : {0x10, 0x30, 0x00, 0x3E, 0x7F, 0x1C, 0x8C, 0x8F})
        EXPECT_EQ(eiaDecode(code), ' ') << "code " << int(code);
    for (int b = 0x90; b < 0x100; ++b)
        EXPECT_EQ(eiaDecode(static_cast<unsigned char>(b)), 0x00) << "code " << b;
    std::string received;
    for (char c : std::string("o100(part:a#1*[x]=y;)\n"))
        received += static_cast<char>(eiaDecode(eiaEncode(static_cast<unsigned char>(c))));
    EXPECT_EQ(received, "O100(PARTOAR1& X  Y )\n");
}
