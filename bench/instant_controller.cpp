#include "instant_controller.h"

#include <algorithm>

#include "record_stream.h"

namespace {

struct Dialogue {
    RecordStream stream;
    const std::string& data;
    std::size_t offset = 0;
    bool eodSent = false;
    ControllerRun run;
};

void answerDataRequest(Dialogue& talk)
{
    if (talk.offset >= talk.data.size()) {
        sendBenchRecord(talk.stream, "EOD");
        talk.eodSent = true;
        return;
    }
    std::size_t length = std::min(std::size_t(controllerPieceSize), talk.data.size() - talk.offset);
    sendBenchRecord(talk.stream, "DAT", withIsoParity(talk.data.data() + talk.offset, length));
    talk.offset += length;
    ++talk.run.dataRecords;
    talk.run.dataBytes += length;
}

// Answers one record; true once the dialogue has ended.
bool answer(Dialogue& talk, const BenchRecord& record)
{
    if (!record.checksumGood)
        ++talk.run.badRecords;
    const std::string& type = record.letters;
    if (type == "SYN" || type == "EOD") {
        bool ending = type == "EOD" || talk.eodSent;
        if (ending)
            talk.run.end = Clock::now();
        sendBenchRecord(talk.stream, "SYN");
        return ending;
    }
    if (type == "RDY")
        sendBenchRecord(talk.stream, "RDY");
    else if (type == "GTD")
        answerDataRequest(talk);
    else if (type == "RTD" || type == "DAT") {
        if (type == "DAT") {
            ++talk.run.dataRecords;
            talk.run.dataBytes += record.payload.size();
        }
        sendBenchRecord(talk.stream, "GTD");
    }
    return false;
}

}  // namespace

ControllerRun playInstantController(int fd, const std::string& dataToSend, int timeoutMs)
{
    Dialogue talk{RecordStream{fd, {}}, dataToSend, 0, false, ControllerRun{}};
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    BenchRecord record;
    while (Clock::now() < deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (!readBenchRecord(talk.stream, record, int(left.count())))
            break;
        if (answer(talk, record)) {
            talk.run.completed = true;
            break;
        }
    }
    return talk.run;
}
