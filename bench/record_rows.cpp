// Protocol A rows: zek's client send (-g) and receive (-R) against the
// instant controller, beside a lockstep peer that moves the same records
// with plain socket and file calls.
#include "rows.h"

#include "instant_controller.h"
#include "loopback.h"
#include "measure_support.h"

namespace {

std::string withCrLf(const std::string& text)
{
    std::string stored;
    stored.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            stored += '\r';
        stored += c;
    }
    return stored;
}

// A client run (zek or the reference) against the instant controller, timed
// from the connection to the end of the data.
Measure recordsRun(const std::vector<std::string>& argv, const DataSet& data, const std::string& dataToSend)
{
    Measure measure;
    int port = 0;
    int listener = listenLoopback(&port);
    ChildProcess child;
    bool started = listener >= 0 && startChild(child, withPort(argv, port), data.dir);
    int fd = started ? acceptWithin(listener, startTimeoutMs) : -1;
    Clock::time_point start = Clock::now();
    ControllerRun run = fd >= 0 ? playInstantController(fd, dataToSend, transferTimeoutMs) : ControllerRun{};
    takeUsage(measure, finishChild(child, endTimeoutMs));
    closeSocket(fd);
    closeSocket(listener);
    measure.seconds = secondsBetween(start, run.end);
    measure.bytes = run.dataBytes;
    measure.records = run.dataRecords;
    if (measure.failure.empty() && (!run.completed || run.badRecords > 0))
        measure.failure = run.completed ? "bad checksums" : "dialogue did not end";
    return measure;
}

}  // namespace

RowPair measureRecordsSend(const DataSet& data)
{
    std::size_t programSize = readWholeFile(data.dir + "/MAIN.NC").size();
    RowPair row;
    row.zek = recordsRun({ZEK_BINARY, "-g", channelArg, "MAIN.NC"}, data, "");
    settle(row.zek, row.zek.bytes == programSize, "byte count differs");
    row.reference = recordsRun(referencePeer("records-send", "MAIN.NC"), data, "");
    settle(row.reference, row.reference.bytes == programSize, "byte count differs");
    return row;
}

RowPair measureRecordsReceive(const DataSet& data)
{
    std::string program = readWholeFile(data.dir + "/MAIN.NC");
    RowPair row;
    row.zek = recordsRun({ZEK_BINARY, "-R", channelArg, "RECV.DAT"}, data, program);
    settle(row.zek, readWholeFile(data.dir + "/RECV.DAT") == withCrLf(program), "stored file differs");
    row.reference = recordsRun(referencePeer("records-receive", "REF.DAT"), data, program);
    settle(row.reference, readWholeFile(data.dir + "/REF.DAT") == program, "stored file differs");
    return row;
}
