#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/run_settings.h"
#include "link/channel.h"
#include "protocol_a/data_block.h"
#include "protocol_a/file_name_check.h"
#include "protocol_a/records.h"
#include "support/scratch_dir.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// What the given sends put on the line, caught in an output-file channel.
std::string onTheWire(const std::function<void()>& send)
{
    ScratchDir dir;
    std::string channel = "\\" + dir.file("wire.out");
    EXPECT_EQ(openOutputFile(channel.c_str()), 0);
    send();
    closeChannel();
    return dir.read("wire.out");
}

std::string bytes(std::initializer_list<unsigned char> list)
{
    return std::string(list.begin(), list.end());
}

std::string withChecksumOf(const std::string& body)
{
    std::string record = "00" + body;
    record.resize(recordSize);
    recordChecksum(reinterpret_cast<unsigned char*>(record.data()));
    return record.substr(0, 2) + body;
}

class Records : public testing::Test {
protected:
    void SetUp() override
    {
        runSettings = RunSettings{};
        storeSatPayload("");
    }
};

}  // namespace

TEST_F(Records, ChecksumAcceptsUpperCaseAndStampsEveryRecord)
{
    unsigned char good[recordSize] = {'F', 'D', 'S', 'Y', 'N', etx};
    EXPECT_EQ(recordChecksum(good), 0);

    unsigned char lower[recordSize] = {'f', 'd', 'S', 'Y', 'N', etx};
    EXPECT_EQ(recordChecksum(lower), -1);
    EXPECT_EQ(lower[0], 'F');
    EXPECT_EQ(lower[1], 'D');
}

TEST_F(Records, ChecksumOfARecordWithoutEtxStopsAtTheBufferEnd)
{
    std::string record(recordSize, 'A');
    EXPECT_EQ(recordChecksum(reinterpret_cast<unsigned char*>(record.data())), -1);
}

TEST_F(Records, RecordsGoOutByteForByte)
{
    struct Case {
        int code;
        const char* text;
        std::string wire;
    };
    std::vector<Case> cases = {
        {SYN, "", bytes({0x46, 0x44, 0x53, 0x59, 0x4E, 0x03})},
        {RTY, "ignored", bytes({0x33, 0x33, 0x52, 0x54, 0x59, 0x31, 0x03})},
        {GTD, "O1", bytes({0x36, 0x32, 0x47, 0x54, 0x44, 0x4F, 0x31, 0x03})},
        {GTD, nullptr, withChecksumOf("GTD\x03")},
        {GTD, "", withChecksumOf("GTD\x03")},
        {DAT, "O1\n", withChecksumOf("DATO1\n\x03")},
        {RTD, "O100", withChecksumOf("RTDO100\x03")},
    };
    const char* plain[] = {"RDY", "RST", "ALM", "AAL", "EOD", "WAT", "ARS"};
    const int codes[] = {RDY, RST, ALM, AAL, EOD, WAT, ARS};
    for (int i = 0; i < 7; ++i)
        cases.push_back({codes[i], "text", withChecksumOf(std::string(plain[i]) + "\x03")});
    for (const Case& c : cases)
        EXPECT_EQ(onTheWire([&] { sendRecord(c.code, c.text); }), c.wire) << c.wire;

    runSettings.fanucMode = 1;   // GTD then carries no name
    EXPECT_EQ(onTheWire([] { sendRecord(GTD, "O1"); }), bytes({0x45, 0x32, 0x47, 0x54, 0x44, 0x03}));
}

TEST_F(Records, TextLongerThanARecordIsCutToFit)
{
    std::string text(recordSize + 100, 'N');
    std::string wire = onTheWire([&] { sendRecord(DAT, text.c_str()); });
    EXPECT_EQ(wire.size(), size_t(recordSize));
    EXPECT_EQ(wire.back(), '\x03');
}

TEST_F(Records, UndefinedCodeSendsRtyAndSaysSo)
{
    CaptureStdout();
    std::string wire = onTheWire([] { sendRecord(11); });
    EXPECT_EQ(GetCapturedStdout(), "SEND COM NOT DEFINE\n");
    EXPECT_EQ(wire, bytes({0x33, 0x33, 0x52, 0x54, 0x59, 0x31, 0x03}));
}

TEST_F(Records, SetLaysTheParameterBlockOverTheStoredSatText)
{
    struct Case {
        std::string stored;
        std::string payload;
    };
    const Case cases[] = {
        {"", ""},
        {"AB", "AB"},
        {"ABCD", "ABCD"},
        {"ABCDEFGHIJ", "ABCD000007"},
        {std::string(40, 'x'), "xxxx" + std::string(parameterBlockText)},
        {std::string(44, 'y'), "yyyy" + std::string(parameterBlockText) + "yyyy"},
    };
    for (const Case& c : cases) {
        storeSatPayload(c.stored.c_str());
        EXPECT_EQ(onTheWire([] { sendRecord(SET); }), withChecksumOf("SET" + c.payload + "\x03"))
            << c.stored;
        EXPECT_EQ(onTheWire([] { sendRecord(SAT); }), withChecksumOf("SAT" + c.payload + "\x03"))
            << c.stored;
    }
}

TEST_F(Records, SatTextLongerThanTheStoreKeepsItsStart)
{
    std::string text(300, 'Q');
    text[254] = 'E';
    storeSatPayload(text.c_str());
    EXPECT_EQ(std::string(satPayload).size(), size_t(satPayloadSize - 1));
    EXPECT_EQ(satPayload[254], 'E');
}

TEST_F(Records, DataRecordsGoOutWithIsoParity)
{
    int status = -1;
    int lineCount = 0;
    std::string wire = onTheWire([&] { sendDataRecord("O1\n", 3, &status, &lineCount); });
    EXPECT_EQ(wire, bytes({0x36, 0x36, 0x44, 0x41, 0x54, 0xCF, 0xB1, 0x0A, 0x03}));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(lineCount, 1);
}

TEST_F(Records, DataRecordReportsAFailedWrite)
{
    int status = 0;
    int lineCount = -1;
    ScratchDir dir;
    std::string channel = "\\" + dir.file("missing-dir/wire.out");
    openOutputFile(channel.c_str());
    sendDataRecord("G1\nG2\n", 6, &status, &lineCount);
    closeChannel();
    EXPECT_EQ(status, -1);
    EXPECT_EQ(lineCount, 2);
}

TEST_F(Records, DataBlockRefusesTextThatWouldNotFitOneRecord)
{
    clearDataBlock();
    std::string line(1000, 'G');
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(appendDataBlock(line.c_str()), 0);
    EXPECT_EQ(appendDataBlock(line.c_str()), -1);
    EXPECT_EQ(dataBlockLength, 4000);
    EXPECT_EQ(std::string(dataBlock), std::string(4000, 'G'));
    clearDataBlock();
    EXPECT_EQ(dataBlockLength, 0);
    EXPECT_EQ(dataBlock[0], '\0');
}

TEST(ControllerFileNames, StayInsideTheWorkingDirectory)
{
    for (const char* name : {"O100", "PROG.NC", "sub/O1", "a..b", "..x", "O1 X", "O1:A"})
        EXPECT_TRUE(isNameInsideWorkDir(name)) << name;
    for (const char* name : {"../x", "..", "a/../../b", "sub\\..\\..\\x", "/etc/passwd",
                             "\\WINDOWS\\x", "C:X", "c:\\x", "x/.."})
        EXPECT_FALSE(isNameInsideWorkDir(name)) << name;
}

TEST_F(Records, ALinkThatGivesNothingAtOnceStillCostsARecordWait)
{
    ScratchDir dir;
    std::string channel = "\\" + dir.file("wire.out");
    ASSERT_EQ(openOutputFile(channel.c_str()), 0);
    ReceivedRecord record;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(receiveRecord(&record), recordMissing);
    auto waited = std::chrono::steady_clock::now() - start;
    closeChannel();
    EXPECT_EQ(record.type, UNKNOWN);
    EXPECT_GE(waited, std::chrono::milliseconds(recordWaitMs - 100));
}
