// Protocol A records as built and checked, byte for byte; the exchanges
// themselves are met by the system tests.
#include <gtest/gtest.h>

#include <string>

#include "library/file_name_check.h"
#include "protocol_a/data_block_sink.h"
#include "protocol_a/records.h"

using namespace zek::protocol_a;

namespace {

std::string built(int code, const char* text = "", const RecordFormat& format = {})
{
    unsigned char record[recordSize];
    int length = buildRecord(code, text, record, format);
    return std::string(reinterpret_cast<char*>(record), size_t(length));
}

std::string withChecksumOf(const std::string& body)
{
    unsigned sum = 0;
    for (unsigned char c : body)
        sum += c;
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", sum & 0xFF);
    return digits + body;
}

}  // namespace

TEST(Records, GoOutByteForByte)
{
    const std::string tooLong(recordSize + 100, 'N');
    const std::pair<std::string, std::string> records[] = {
        {built(SYN), "FDSYN\x03"},
        {built(RTY, "ignored"), "33RTY1\x03"},
        {built(11), "33RTY1\x03"},  // a code without letters
        {built(GTD, "O1"), "62GTDO1\x03"},
        {built(GTD, nullptr), withChecksumOf("GTD\x03")},
        {built(DAT, "O1\n"), withChecksumOf("DATO1\n\x03")},
        {built(RTD, "O100"), withChecksumOf("RTDO100\x03")},
        {built(DAT, tooLong.c_str()), withChecksumOf("DAT" + tooLong.substr(0, maxPayloadLength) + "\x03")},
    };
    for (const auto& [wire, expected] : records)
        EXPECT_EQ(wire, expected);
    // Only the data types carry text.
    const std::pair<int, std::string> withoutText[] = {{RDY, "RDY"}, {RST, "RST"}, {ALM, "ALM"}, {AAL, "AAL"},
                                                       {EOD, "EOD"}, {WAT, "WAT"}, {ARS, "ARS"}};
    for (const auto& [code, letters] : withoutText)
        EXPECT_EQ(built(code, "text"), withChecksumOf(letters + "\x03")) << letters;
    EXPECT_EQ(built(GTD, "O1", {true, ""}), "E2GTD\x03");  // FANUC: GTD carries no name

    unsigned char record[recordSize];
    int lineCount = -1;
    int length = buildDataRecord("O1\nG1\n", 6, record, &lineCount);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(record), size_t(length)),
              withChecksumOf("DAT\xCF\xB1\x0A\x47\xB1\x0A\x03"));
    EXPECT_EQ(lineCount, 2);
    length = buildDataRecord(tooLong.data(), int(tooLong.size()), record, &lineCount);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(record), size_t(length)),
              withChecksumOf("DAT" + tooLong.substr(0, maxPayloadLength) + "\x03"));  // 'N' keeps its parity bit clear
}

TEST(Records, SetAndSatLayTheParameterBlockOverTheStoredSatText)
{
    const std::string block = parameterBlockText;
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"AB", "AB"},
        {"ABCD", "ABCD"},
        {"ABCDEFGHIJ", "ABCD000007"},
        {std::string(40, 'x'), "xxxx" + block},
        {std::string(44, 'y'), "yyyy" + block + "yyyy"},
    };
    for (const auto& [stored, payload] : cases) {
        const RecordFormat format{false, stored.c_str()};
        EXPECT_EQ(built(SET, "", format), withChecksumOf("SET" + payload + "\x03")) << stored;
        EXPECT_EQ(built(SAT, "", format), withChecksumOf("SAT" + payload + "\x03")) << stored;
    }
}

// A lower-case checksum is a bad one: the server test sees only that zek recovers.
TEST(Records, ChecksumTakesUpperCaseOnly)
{
    unsigned char lower[recordSize] = {'f', 'd', 'S', 'Y', 'N', etx};
    EXPECT_FALSE(recordChecksum(lower));
}

TEST(Records, DataBlockRefusesTextThatWouldNotFitOneRecord)
{
    DataBlock block;
    std::string line(1000, 'G');
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(block.append(line.c_str()));
    EXPECT_FALSE(block.append(line.c_str()));
    EXPECT_EQ(std::string(block.text()), std::string(4000, 'G'));
}

TEST(ControllerFileNames, StayInsideTheWorkingDirectory)
{
    for (const char* name : {"O100", "PROG.NC", "sub/O1", "a..b", "..x", "O1 X", "O1:A"})
        EXPECT_TRUE(zek::library::isNameInsideWorkDir(name)) << name;
    for (const char* name :
         {"../x", "..", "a/../../b", "sub\\..\\..\\x", "/etc/passwd", "\\WINDOWS\\x", "C:X", "c:\\x", "x/.."})
        EXPECT_FALSE(zek::library::isNameInsideWorkDir(name)) << name;
}
