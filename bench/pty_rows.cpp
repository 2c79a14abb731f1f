// Protocol B punch-out over a pseudo-terminal whose controller reads at once,
// beside zek's own punch-out of the same program into a file: the line must
// run at the pace of the link, not wait between blocks.
#include "rows.h"

#include <cerrno>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "link/link.h"
#include "measure_support.h"
#include "tape/tape_code.h"

using namespace zek::tape;

namespace {

constexpr int feedLength = 400;  // -t: blank tape before and after the program
constexpr std::size_t readChunk = 65536;

// The controller's end of the cable is the master; the slave stays open here
// so that the pair outlives zek's close of its end.
struct PtyLine {
    int master = -1;
    int slave = -1;
    std::string slavePath;
    PtyLine()
    {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        slavePath = name;
        termios raw{};
        tcgetattr(master, &raw);
        cfmakeraw(&raw);
        tcsetattr(master, TCSANOW, &raw);
    }
    ~PtyLine()
    {
        for (int fd : {master, slave})
            if (fd >= 0)
                close(fd);
    }
};

int millisecondsUntil(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

// Reads at once whatever comes, until count bytes have come or timeoutMs
// has passed; the time of the last byte.
Clock::time_point readFromLine(int fd, std::size_t count, int timeoutMs, std::string* received)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Clock::time_point lastByte = Clock::now();
    static char buffer[readChunk];
    while (received->size() < count) {
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, millisecondsUntil(deadline)) <= 0)
            break;
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        received->append(buffer, std::size_t(got));
        lastByte = Clock::now();
    }
    return lastByte;
}

std::string feedTape(char frame, bool leading)
{
    std::string feed(feedLength, char(isoEncode(' ')));
    std::string code(1, char(isoEncode(static_cast<unsigned char>(frame))));
    return leading ? code + feed : feed + code;
}

// zek punches MAIN.NC to the pseudo-terminal; with DC1/DC3 flow it starts on
// the controller's DC1, and the time runs from there.
Measure zekPunchOverPty(const DataSet& data, const std::vector<std::string>& options, bool startsOnDc1,
                        const std::string& expected)
{
    Measure measure;
    PtyLine line;
    std::vector<std::string> args{ZEK_BINARY, "-c" + line.slavePath};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back("MAIN.NC");
    ChildProcess zek;
    Clock::time_point start = Clock::now();
    bool started = !line.slavePath.empty() && startChild(zek, args, data.dir);
    if (started && startsOnDc1) {
        started = waitForErrText(zek, "SUB MODE START", startTimeoutMs, &start);
        start = Clock::now();
        started = started && write(line.master, &zek::link::dc1, 1) == 1;
    }
    std::string received;
    Clock::time_point lastByte =
        started ? readFromLine(line.master, expected.size(), transferTimeoutMs, &received) : start;
    takeUsage(measure, finishChild(zek, endTimeoutMs));
    measure.seconds = secondsBetween(startsOnDc1 ? start : zek.startTime, lastByte);
    measure.bytes = received.size();
    settle(measure, started && received == expected, "bytes differ from the file output");
    return measure;
}

}  // namespace

RowPair measureSendToPty(const DataSet& data)
{
    return {zekPunchOverPty(data, {}, false, data.tape), data.filePunchOut};
}

RowPair measureSendToPtyOnDc1(const DataSet& data)
{
    return {zekPunchOverPty(data, {"-d"}, true, data.tape), data.filePunchOut};
}

RowPair measureTapeFeedToPty(const DataSet& data)
{
    std::string expected = feedTape(char(dc2), true) + data.tape + feedTape(char(dc4), false);
    return {zekPunchOverPty(data, {"-t"}, false, expected), data.filePunchOut};
}
