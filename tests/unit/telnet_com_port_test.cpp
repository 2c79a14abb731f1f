// The telnet COM-PORT-OPTION client against the bytes a device server sends,
// ser2net's as measured among them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/telnet_com_port.h"

using zek::link::ComPortRequest;
using zek::link::TelnetComPort;

namespace {

// "FF FB 03": bytes written as the measurements list them.
std::string hex(const char* text)
{
    std::string bytes;
    for (const char* at = text; *at != '\0'; at += at[2] == ' ' ? 3 : 2)
        bytes += char(std::stoi(std::string(at, 2), nullptr, 16));
    return bytes;
}

const std::string ser2netGreeting = hex("FF FB 03 FF FD 03 FF FB 01 FF FE 01 FF FD 00 FF FB 00 FF FD 2C");

struct Taken {
    std::string data;
    std::string replies;
};

Taken take(TelnetComPort& port, const std::string& bytes)
{
    Taken taken;
    port.take(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), taken.data, taken.replies);
    return taken;
}

// A connection at 9600 bit/s past its opening.
TelnetComPort opened()
{
    TelnetComPort port(ComPortRequest{9600, false});
    port.opening();
    return port;
}

}  // namespace

TEST(TelnetComPort, OpeningAsksForTheOptionsAndEachSettingWithFFDoubled)
{
    const std::pair<ComPortRequest, std::string> openings[] = {
        {{19200, true},
         hex("FF FB 2C FF FD 00 FF FB 00 FF FA 2C 01 00 00 4B 00 FF F0 FF FA 2C 02 08 FF F0 "
             "FF FA 2C 03 01 FF F0 FF FA 2C 04 01 FF F0 FF FA 2C 05 03 FF F0")},
        {{0, false},
         hex("FF FB 2C FF FD 00 FF FB 00 FF FA 2C 02 08 FF F0 FF FA 2C 03 01 FF F0 FF FA 2C 04 01 FF F0 "
             "FF FA 2C 05 01 FF F0")},
        {{0x1FF, false},
         hex("FF FB 2C FF FD 00 FF FB 00 FF FA 2C 01 00 00 01 FF FF FF F0 FF FA 2C 02 08 FF F0 "
             "FF FA 2C 03 01 FF F0 FF FA 2C 04 01 FF F0 FF FA 2C 05 01 FF F0")},
    };
    for (const auto& [request, expected] : openings)
        EXPECT_EQ(TelnetComPort(request).opening(), expected) << request.speed;
}

// Each row follows the one before on the same connection: only a request
// that changes an option's state is answered, an unwanted one once.
TEST(TelnetComPort, AnswersOnlyRequestsThatChangeAnOption)
{
    const std::pair<std::string, std::string> exchanges[] = {
        {ser2netGreeting, hex("FF FD 03 FF FB 03 FF FE 01")},  // SGA both ways, ECHO refused
        {ser2netGreeting, ""},
        {hex("FF FC 2C FF FD 05"), hex("FF FC 05")},  // WONT COM-PORT answers nothing zek asked
        {hex("FF FD 05 FF FB 01"), ""},
        {hex("FF FC 00 FF FB 00"), hex("FF FE 00 FF FD 00")},
        {hex("FF FB 2C"), hex("FF FE 2C")},
    };
    TelnetComPort port = opened();
    for (const auto& [input, replies] : exchanges) {
        Taken taken = take(port, input);
        EXPECT_EQ(taken.replies, replies) << testing::PrintToString(input);
        EXPECT_EQ(taken.data, "");
    }
    EXPECT_TRUE(port.takeWarnings().empty());
    EXPECT_FALSE(port.settingsAnswered());
    EXPECT_EQ(take(port, hex("FF FE 2C")).replies, hex("FF FC 2C"));
    EXPECT_TRUE(port.settingsAnswered());  // refused: no answer will come
    EXPECT_EQ(port.takeWarnings(),
              std::vector<std::string>{"RFC2217 COM-PORT-OPTION REFUSED: THE PORT KEEPS THE DEVICE SERVER'S SETTINGS"});
}

TEST(TelnetComPort, EveryByteValuePassesBothWays)
{
    unsigned char every[256];
    for (int b = 0; b < 256; ++b)
        every[b] = static_cast<unsigned char>(b);
    std::string escaped;
    TelnetComPort::escape(every, sizeof every, escaped);
    EXPECT_EQ(escaped.size(), 257u);
    TelnetComPort port = opened();
    port.openingOver();
    Taken taken = take(port, escaped);
    EXPECT_EQ(taken.data, std::string(reinterpret_cast<char*>(every), sizeof every));
    EXPECT_EQ(taken.replies, "");
}

// A banner, the greeting, data with CR NUL and FF, notifications (one with
// FF doubled inside), the answers (the speed twice, and not the one asked)
// and more data: the same whether it comes whole or cut anywhere.
TEST(TelnetComPort, StreamCutAnywhereGivesTheSameDataRepliesAndOneWarning)
{
    const std::string stream = "ser2net port 2002\r\n" + ser2netGreeting + hex("FF FA 2C 6B 30 FF F0") +
                               std::string("G1\r\0X", 5) +
                               hex("FF FF FF FA 2C 6A FF FF FF F0 FF FA 2C 65 00 00 4B 00 FF F0 FF F1") +
                               hex("FF FA 2C 66 08 FF F0 FF FA 2C 67 01 FF F0 FF FA 2C 68 01 FF F0 01") +
                               hex("FF FA 2C 65 00 00 96 00 FF F0 FF FA 2C 69 01 FF F0") + "M30";
    const std::string expectedData = std::string("G1\r\0X\xFF", 6) + hex("01") + "M30";
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        TelnetComPort port = opened();
        Taken first = take(port, stream.substr(0, cut));
        Taken second = take(port, stream.substr(cut));
        EXPECT_EQ(first.data + second.data, expectedData) << "cut at " << cut;
        EXPECT_EQ(first.replies + second.replies, hex("FF FD 03 FF FB 03 FF FE 01")) << "cut at " << cut;
        EXPECT_TRUE(port.settingsAnswered());
        EXPECT_EQ(port.takeWarnings(),
                  std::vector<std::string>{"RFC2217 SPEED: ASKED 9600, DEVICE SERVER REPORTS 19200"});
    }
}

// A sub-negotiation that never ends: a command cuts it short, and without
// one the data after it comes through all the same.
TEST(TelnetComPort, SubNegotiationWithoutItsEndDoesNotSwallowWhatFollows)
{
    TelnetComPort port = opened();
    Taken cut = take(port, hex("FF FB 00 FF FA 2C 65 00 00 FF FB 01") + "G1");
    EXPECT_EQ(cut.replies, hex("FF FE 01"));
    EXPECT_EQ(cut.data, "G1");
    const std::string program(2000, 'N');
    Taken endless = take(port, hex("FF FA 2C 6B") + program);
    EXPECT_GT(endless.data.size(), program.size() - 300);
    EXPECT_EQ(endless.data, program.substr(program.size() - endless.data.size()));
}
