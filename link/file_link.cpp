#include "link/file_link.h"

#include <cstring>

#include "log/log.h"
#include "platform/clock.h"
#include "zek_version.h"

using namespace zek::log;
using namespace zek::platform;

namespace zek::link {

FileLink::FileLink(const LinkConfig& config) : GatheringLink(config)
{
}

// A file that cannot be created leaves a link that takes nothing: the run
// goes on, and every transfer that writes to it fails.
bool FileLink::open(bool)
{
    const char* fileName = config_.channelName.c_str() + 1;  // after the backslash of "-c\name"
    if (std::strlen(fileName) > std::size_t(maxLinkNameLength)) {
        echoLog("Write file name too long (max %d) : %s\n", maxLinkNameLength, fileName);
        return true;
    }
    echoLog("%s FILE %s OPEN \n", versionTag, fileName);
    file_ = std::fopen(fileName, "w+b");
    if (!file_)
        echoLog("Write file open error : %s\n", fileName);
    else
        std::setvbuf(file_, nullptr, _IONBF, 0);  // the link gathers; each write goes out whole
    return true;
}

void FileLink::release()
{
    releaseGathered();
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

// Nothing ever comes from a file: it is a line that stays silent, so that a
// run waiting on it (-s, -r) waits as it would on a port, not in a loop.
int FileLink::readByte(int timeoutMs)
{
    flush();
    sleepMs(timeoutMs);
    return noByte;
}

bool FileLink::writeNow(const unsigned char* bytes, int length)
{
    if (!file_)
        return false;
    std::size_t count = static_cast<std::size_t>(length);
    return std::fwrite(bytes, 1, count, file_) == count && std::fflush(file_) == 0;
}

// The -w/-W waits pace every write; without them the blocks are gathered.
bool FileLink::write(const unsigned char* bytes, int length)
{
    if (file_ && !config_.charWait)
        return gathered_.gather(bytes, length);
    return writePaced(bytes, length);
}

void FileLink::close()
{
    release();
}

}  // namespace zek::link
