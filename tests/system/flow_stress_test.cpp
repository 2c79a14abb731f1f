// Software flow under stress: a controller that holds and releases the line
// at random moments while megabytes go through a pseudo-terminal, in both
// directions. Every byte must arrive exactly once and in order.
#include "system_test.h"

namespace {

constexpr size_t sendTapeBytes = 4000000;
constexpr size_t receiveTapeBytes = 1500000;
constexpr size_t sendPieceBytes = 512;  // the plain sender's piece
constexpr int longHoldMs = 200;
constexpr int longHoldEvery = 400;  // one hold in so many is a long one

// At most 256 bytes of what arrives on fd within waitMs: a chance of a hold after each.
std::string readChunk(int fd, int waitMs)
{
    pollfd ready{fd, POLLIN, 0};
    char bytes[256];
    ssize_t n = poll(&ready, 1, waitMs) > 0 ? read(fd, bytes, sizeof bytes) : 0;
    return std::string(bytes, n > 0 ? size_t(n) : 0);
}

}  // namespace

// The controller holds with DC3 at random moments and releases with DC1 after
// a short or, now and then, a long hold. The sender looks for a break code
// before each piece and takes one byte; the test sends a feed byte per piece,
// no more, or the bytes zek has no reason to take would fill the line.
TEST(FlowStress, PunchOutUnderRandomHoldsDeliversEveryByteOnceInOrder)
{
    std::mt19937 random(20260604);
    const std::string program = generatedProgram(sendTapeBytes * size_t(stressScale()), random);
    const std::string expected = isoTape(program);
    TempDir dir;
    dir.write("BIG.NC", program);
    PtyPair pty;
    const int controller = pty.masterFd();
    ZekProcess zek({serialChannelOption(pty), "-b0", "-d", "-n", "BIG.NC"}, dir.path());
    ASSERT_TRUE(zek.waitForErr("NO_SUB MODE START", 10000)) << zek.result().err;
    std::bernoulli_distribution holdNow(0.25);
    std::uniform_int_distribution<int> shortHoldMs(0, 2);
    std::string received;
    size_t feedsSent = 0;
    int holds = 0;
    int leaked = 0;  // bytes that came after the first half of a long hold
    writeAll(controller, "\x11");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60 * stressScale());
    while (received.size() < expected.size() && std::chrono::steady_clock::now() < deadline) {
        size_t feedsWanted = received.size() / sendPieceBytes + 64;
        writeAll(controller, std::string(feedsWanted - std::min(feedsSent, feedsWanted), '\0'));
        feedsSent = std::max(feedsSent, feedsWanted);
        received += readChunk(controller, 2);
        if (!holdNow(random))
            continue;
        writeAll(controller, "\x13");
        if (++holds % longHoldEvery == 0) {
            received += readUntilQuiet(controller, longHoldMs / 2, longHoldMs / 2);
            std::string late = readUntilQuiet(controller, longHoldMs / 2, longHoldMs / 2);
            leaked += int(late.size());
            received += late;
        } else {
            received += readChunk(controller, shortHoldMs(random));
        }
        writeAll(controller, "\x11");
    }
    received += readUntilQuiet(controller, 300, 300);
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected) << "the punched tape differs from the program";
    EXPECT_EQ(leaked, 0) << "bytes came while the line was held";
    EXPECT_GE(holds, 1000);
    EXPECT_TRUE(zek.wait(15000));
    EXPECT_TRUE(contains(zek.result().err, "SEND(B) NO_SUB MODE END BIG.NC"));
}

// The controller punches the tape in pieces of random size with random
// pauses, never writing more than the line takes.
TEST(FlowStress, ReceiveWithInputFlowStoresEveryByteOnceInOrder)
{
    std::mt19937 random(19700101);
    std::string program = generatedProgram(receiveTapeBytes * size_t(stressScale()), random);
    program = "%" + program.substr(1, program.size() - 3) + "%";  // the tape's own "%" codes go around it
    const std::string tape = isoTape(program);
    TempDir dir;
    PtyPair pty;
    const int controller = pty.masterFd();
    ZekProcess zek({serialChannelOption(pty), "-b0", "-r", "-d", "IN.NC"}, dir.path());
    ASSERT_TRUE(zek.waitForErr("RECV(B) START", 10000)) << zek.result().err;
    std::uniform_int_distribution<size_t> pieceSize(1, 8192);
    std::uniform_int_distribution<int> pause(0, 300);
    fcntl(controller, F_SETFL, fcntl(controller, F_GETFL) | O_NONBLOCK);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60 * stressScale());
    size_t sent = 0;
    while (sent < tape.size() && std::chrono::steady_clock::now() < deadline) {
        readChunk(controller, 0);  // zek's DC1 and DC3
        ssize_t n = write(controller, tape.data() + sent, std::min(pieceSize(random), tape.size() - sent));
        sent += n > 0 ? size_t(n) : 0;
        if (n < 0 && errno == EAGAIN) {
            pollfd writable{controller, POLLOUT, 0};
            poll(&writable, 1, 100);
        } else if (pause(random) == 0) {
            readUntilQuiet(controller, longHoldMs, longHoldMs);
        }
    }
    ASSERT_EQ(sent, tape.size());
    ASSERT_TRUE(zek.wait(30000 * stressScale())) << zek.result().err;
    const std::string stored = dir.read("IN.NC");
    EXPECT_EQ(stored.size(), storedText(program).size());
    EXPECT_TRUE(stored == storedText(program)) << "the stored file differs from the tape";
    EXPECT_TRUE(contains(zek.result().err, "RECV(B) END IN.NC " + std::to_string(tape.size()) + "Byte"));
}
