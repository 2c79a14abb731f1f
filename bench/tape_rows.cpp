// Protocol B rows: punching the tape out to a file and to a TCP peer, and
// storing a tape that the bench sends, beside cat and plain socket copies.
#include "rows.h"

#include "loopback.h"
#include "measure_support.h"
#include "tape/tape_code.h"

using namespace zek::tape;

namespace {

// What zek stores from an ISO tape: "%", the data up to and including the
// stop code with parity cleared, each line feed as CR LF.
std::string storedFromTape(const std::string& tape)
{
    std::string stored;
    std::size_t stop = tape.find(char(isoPercent), 1);
    for (std::size_t i = 0; i < tape.size() && i <= stop; ++i) {
        char c = char(isoDecode(static_cast<unsigned char>(tape[i])));
        if (c == '\n')
            stored += '\r';
        stored += c;
    }
    return stored;
}

// The bench listens; the child (zek or a reference) connects and sends. The
// transfer ends with the last byte that arrives.
Measure receiveFromChild(const std::vector<std::string>& argv, const std::string& dir, std::string* received)
{
    Measure measure;
    int port = 0;
    int listener = listenLoopback(&port);
    ChildProcess child;
    if (listener < 0 || !startChild(child, withPort(argv, port), dir)) {
        measure.failure = "could not start";
        closeSocket(listener);
        return measure;
    }
    int fd = acceptWithin(listener, startTimeoutMs);
    StreamReceived got = receiveUntilClosed(fd, transferTimeoutMs, received);
    takeUsage(measure, finishChild(child, endTimeoutMs));
    closeSocket(fd);
    closeSocket(listener);
    measure.seconds = secondsBetween(child.startTime, got.lastByte);
    measure.bytes = got.bytes;
    if (!got.closed)
        measure.failure = "connection not closed";
    return measure;
}

// zek stores a tape that the bench sends: as the -s server (the bench
// connects) or as the -r client (the bench listens). Timed from the
// connection to zek's RECV(B) END line; the server is then interrupted.
Measure zekReceiveTape(const DataSet& data, bool asServer)
{
    Measure measure;
    int port = 0;
    int listener = asServer ? -1 : listenLoopback(&port);
    if (asServer)
        port = freeLoopbackPort();
    std::vector<std::string> args = asServer ? std::vector<std::string>{ZEK_BINARY, "-s", channelArg, "RECV.NC"}
                                             : std::vector<std::string>{ZEK_BINARY, "-r", "-i", channelArg, "RECV.NC"};
    ChildProcess zek;
    bool started = startChild(zek, withPort(args, port), data.dir);
    int fd = !started ? -1 : asServer ? connectLoopback(port, startTimeoutMs) : acceptWithin(listener, startTimeoutMs);
    Clock::time_point start = Clock::now(), ended = start;
    // With its code given by -i, the client takes the tape's own start code
    // for the stop code: it gets the tape from the first data byte on.
    std::size_t skip = asServer ? 0 : 1;
    bool sent = fd >= 0 && sendAll(fd, data.tape.data() + skip, data.tape.size() - skip);
    bool finished = sent && waitForErrText(zek, "RECV(B) END", transferTimeoutMs, &ended);
    closeSocket(fd);
    closeSocket(listener);
    takeUsage(measure, asServer ? interruptChild(zek, endTimeoutMs) : finishChild(zek, endTimeoutMs));
    measure.seconds = secondsBetween(start, ended);
    measure.bytes = data.tape.size();
    settle(measure, finished && readWholeFile(data.dir + "/RECV.NC") == storedFromTape(data.tape),
           finished ? "stored file differs" : "no RECV(B) END line");
    return measure;
}

// The bench sends the tape to its own reader, which stores the raw bytes.
Measure referenceReceiveTape(const DataSet& data)
{
    int port = 0;
    int listener = listenLoopback(&port);
    ChildProcess reader;
    bool started =
        listener >= 0 && startChild(reader, withPort(referencePeer("socket-read", "ref-recv.nc"), port), data.dir);
    int fd = started ? acceptWithin(listener, startTimeoutMs) : -1;
    Clock::time_point start = Clock::now();
    bool sent = fd >= 0 && sendAll(fd, data.tape.data(), data.tape.size());
    closeSocket(fd);
    closeSocket(listener);
    Measure measure = timeToExit(reader, start);
    measure.bytes = data.tape.size();
    settle(measure, sent && readWholeFile(data.dir + "/ref-recv.nc") == data.tape, "stored file differs");
    return measure;
}

}  // namespace

RowPair measureSendToFile(DataSet& data)
{
    RowPair row;
    ChildProcess zek;
    Clock::time_point ended = Clock::now();
    bool finished = startChild(zek, {ZEK_BINARY, "-c\\tape.nc", "MAIN.NC"}, data.dir) &&
                    waitForErrText(zek, "SEND(B) SUB MODE END", transferTimeoutMs, &ended);
    takeUsage(row.zek, finishChild(zek, endTimeoutMs));
    data.tape = readWholeFile(data.dir + "/tape.nc");
    row.zek.seconds = secondsBetween(zek.startTime, ended);
    row.zek.bytes = data.tape.size();
    settle(row.zek, finished && !data.tape.empty(), "no SEND(B) END line");

    ChildProcess cat;
    startChild(cat, {"/bin/cat", "tape.nc"}, data.dir, data.dir + "/cat.nc");
    row.reference = timeToExit(cat, cat.startTime);
    row.reference.bytes = data.tape.size();
    settle(row.reference, readWholeFile(data.dir + "/cat.nc") == data.tape, "copy differs");
    return row;
}

RowPair measureSendToTcp(const DataSet& data)
{
    RowPair row;
    std::string received;
    row.zek = receiveFromChild({ZEK_BINARY, channelArg, "MAIN.NC"}, data.dir, &received);
    settle(row.zek, received == data.tape, "bytes differ from the file output");
    row.reference = receiveFromChild(referencePeer("socket-send", "tape.nc"), data.dir, nullptr);
    settle(row.reference, row.reference.bytes == data.tape.size(), "byte count differs");
    return row;
}

RowPair measureReceiveServer(const DataSet& data)
{
    return {zekReceiveTape(data, true), referenceReceiveTape(data)};
}

RowPair measureReceiveClient(const DataSet& data)
{
    return {zekReceiveTape(data, false), referenceReceiveTape(data)};
}
