#include "protocol_a/received_file.h"

#include "log/log.h"
#include "platform/text_file.h"

using namespace zek::platform;

namespace zek::protocol_a {

ReceivedFile::ReceivedFile(const char* path) : file_(openTextWriter(path))
{
}

ReceivedFile::~ReceivedFile()
{
    if (file_)
        std::fclose(file_);
}

bool ReceivedFile::store(RecordLine& records, sender::ProgressMeter& meter, const ReceivedRecord& record,
                         const char* name)
{
    std::size_t length = static_cast<std::size_t>(record.payloadLength);
    if (writeTextBytes(file_, record.payload, length) != length || std::fflush(file_) != 0)
        return failed(name);
    meter.showKilobytes(record.payloadLength);
    records.send(GTD);
    return true;
}

bool ReceivedFile::close(const char* name)
{
    bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed && !writeFailed_)
        failed(name);
    return !writeFailed_;
}

bool ReceivedFile::failed(const char* name)
{
    log::echoLog("Can't Write Recv File %s\n", name);
    writeFailed_ = true;
    return false;
}

}  // namespace zek::protocol_a
