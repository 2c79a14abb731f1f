// Software flow under stress: a controller that holds and releases the line
// at random moments while megabytes go through a pseudo-terminal, in both
// directions. Every byte must arrive exactly once and in order.

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <random>
#include <unistd.h>

#include "support/controller.h"
#include "tape_text.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t sendTapeBytes = 4000000;
constexpr size_t receiveTapeBytes = 1500000;
constexpr size_t sendPieceBytes = 512;   // the plain sender's piece
constexpr size_t holdChunkBytes = 256;   // a chance of a hold after each such read
constexpr int longHoldMs = 200;
constexpr int longHoldEvery = 400;       // one hold in so many is a long one

// At most maxBytes of what arrives on fd within waitMs.
std::string readChunk(int fd, size_t maxBytes, int waitMs)
{
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, waitMs) <= 0)
        return "";
    std::string bytes(maxBytes, '\0');
    ssize_t n = read(fd, &bytes[0], maxBytes);
    bytes.resize(n > 0 ? size_t(n) : 0);
    return bytes;
}

// Everything that arrives on fd within waitMs.
std::string readFor(int fd, int waitMs)
{
    std::string bytes;
    auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        std::string chunk = readChunk(fd, 65536, left.count() > 0 ? int(left.count()) : 0);
        if (chunk.empty())
            return bytes;
        bytes += chunk;
    }
}

struct SendFigures {
    int holds = 0;
    int longHolds = 0;
    int leaksDuringLongHolds = 0;   // bytes that came after the first half of a long hold
};

// Plays the controller of a punch-out: DC3 at random moments, each followed
// by DC1 after a short or, now and then, a long hold. The sender watches for
// a break code before and after each piece; a feed byte ahead of each watch
// answers it at once.
std::string punchWithRandomHolds(int controller, size_t expectedSize, std::mt19937& random,
                                 SendFigures& figures)
{
    std::bernoulli_distribution holdNow(0.25);
    std::uniform_int_distribution<int> shortHoldMs(0, 2);
    std::string received;
    size_t feedsSent = 0;
    writeAll(controller, "\x11");
    auto deadline = Clock::now() + std::chrono::seconds(60 * stressScale());
    while (received.size() < expectedSize && Clock::now() < deadline) {
        size_t feedsWanted = 2 * (received.size() / sendPieceBytes) + 64;
        if (feedsSent < feedsWanted) {
            writeAll(controller, std::string(feedsWanted - feedsSent, '\0'));
            feedsSent = feedsWanted;
        }
        received += readChunk(controller, holdChunkBytes, 2);
        if (!holdNow(random))
            continue;
        writeAll(controller, "\x13");
        ++figures.holds;
        if (figures.holds % longHoldEvery == 0) {
            ++figures.longHolds;
            received += readFor(controller, longHoldMs / 2);
            std::string leaked = readFor(controller, longHoldMs / 2);
            figures.leaksDuringLongHolds += int(leaked.size());
            received += leaked;
        } else {
            received += readChunk(controller, holdChunkBytes, shortHoldMs(random));
        }
        writeAll(controller, "\x11");
    }
    return received;
}

}  // namespace

TEST(FlowStress, PunchOutUnderRandomHoldsDeliversEveryByteOnceInOrder)
{
    std::mt19937 random(20260604);
    const std::string program = generatedProgram(sendTapeBytes * size_t(stressScale()), random);
    const std::string expected = isoTape(program);
    TempDir dir;
    dir.write("BIG.NC", program);
    PtyPair pty;
    ZekProcess zek({serialChannelOption(pty), "-b0", "-d", "-n", "BIG.NC"}, dir.path());
    ASSERT_TRUE(zek.waitForErr("NO_SUB MODE START", 10000)) << zek.result().err;

    auto start = Clock::now();
    SendFigures figures;
    std::string received = punchWithRandomHolds(pty.masterFd(), expected.size(), random, figures);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    received += readFor(pty.masterFd(), 300);

    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected) << "the punched tape differs from the program";
    EXPECT_EQ(figures.leaksDuringLongHolds, 0) << "bytes came while the line was held";
    EXPECT_GE(figures.holds, 1000);
    EXPECT_TRUE(zek.wait(15000));
    EXPECT_NE(zek.result().err.find("SEND(B) NO_SUB MODE END BIG.NC"), std::string::npos);

    std::cout << "[ figures  ] punch-out: " << received.size() << " bytes moved, " << figures.holds
              << " holds survived (" << figures.longHolds << " of " << longHoldMs << " ms), "
              << seconds << " s\n";
    RecordProperty("bytesMoved", int(received.size()));
    RecordProperty("holdsSurvived", figures.holds);
}

namespace {

struct ReceiveFigures {
    int fullLine = 0;      // writes the receiver held back: the line was full
    int pauses = 0;        // the controller's own stops in mid-tape
    int stopCodes = 0;     // DC3 from zek's side
    int startCodes = 0;    // DC1 from zek's side
};

void countFlowBytes(const std::string& bytes, ReceiveFigures& figures)
{
    for (char c : bytes) {
        figures.stopCodes += c == '\x13';
        figures.startCodes += c == '\x11';
    }
}

// Punches the tape in pieces of random size with random pauses, never
// writing more than the line takes; whatever zek sends back is counted.
bool punchTape(int controller, const std::string& tape, std::mt19937& random, ReceiveFigures& figures)
{
    std::uniform_int_distribution<size_t> pieceSize(1, 8192);
    std::uniform_int_distribution<int> pause(0, 300);
    fcntl(controller, F_SETFL, fcntl(controller, F_GETFL) | O_NONBLOCK);
    auto deadline = Clock::now() + std::chrono::seconds(60 * stressScale());
    size_t sent = 0;
    while (sent < tape.size() && Clock::now() < deadline) {
        countFlowBytes(readFor(controller, 0), figures);
        size_t length = std::min(pieceSize(random), tape.size() - sent);
        ssize_t n = write(controller, tape.data() + sent, length);
        if (n > 0)
            sent += size_t(n);
        if (n < 0 && errno == EAGAIN) {
            ++figures.fullLine;
            pollfd writable{controller, POLLOUT, 0};
            poll(&writable, 1, 100);
        } else if (pause(random) == 0) {
            ++figures.pauses;
            countFlowBytes(readFor(controller, longHoldMs), figures);
        }
    }
    fcntl(controller, F_SETFL, fcntl(controller, F_GETFL) & ~O_NONBLOCK);
    return sent == tape.size();
}

}  // namespace

TEST(FlowStress, ReceiveWithInputFlowStoresEveryByteOnceInOrder)
{
    std::mt19937 random(19700101);
    std::string program = generatedProgram(receiveTapeBytes * size_t(stressScale()), random);
    program = program.substr(1, program.size() - 3);   // the tape's own "%" codes go around it
    const std::string tape = isoTape("%" + program + "%");
    TempDir dir;
    PtyPair pty;
    ZekProcess zek({serialChannelOption(pty), "-b0", "-r", "-d", "IN.NC"}, dir.path());
    ASSERT_TRUE(zek.waitForErr("RECV(B) START", 10000)) << zek.result().err;

    auto start = Clock::now();
    ReceiveFigures figures;
    ASSERT_TRUE(punchTape(pty.masterFd(), tape, random, figures));
    ASSERT_TRUE(zek.wait(30000 * stressScale())) << zek.result().err;
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    countFlowBytes(readFor(pty.masterFd(), 0), figures);

    const std::string stored = dir.read("IN.NC");
    EXPECT_EQ(stored.size(), storedText("%" + program + "%").size());
    EXPECT_TRUE(stored == storedText("%" + program + "%")) << "the stored file differs from the tape";
    EXPECT_NE(zek.result().err.find("RECV(B) END IN.NC " + std::to_string(tape.size()) + "Byte"),
              std::string::npos);

    std::cout << "[ figures  ] receive: " << tape.size() << " bytes moved, " << figures.fullLine
              << " writes held by a full line, " << figures.pauses << " pauses of the controller, "
              << figures.stopCodes << " DC3 and " << figures.startCodes << " DC1 from zek, " << seconds
              << " s\n";
    RecordProperty("bytesMoved", int(tape.size()));
    RecordProperty("heldWrites", figures.fullLine);
}
