#include "sender/send_status.h"

#include "log/log.h"

using namespace zek::log;

namespace zek::sender {

void printStatus(const char* word, const char* name)
{
    echoLog("%s%s %s\n", word, name, timeStamp());
}

void printRefusal(const char* word, const char* name)
{
    echoLog("%s%s\n", word, name);
}

void printClosing(const char* word, const char* name)
{
    echoLogEach("\r%s%s %s\n", "%s%s %s\n", word, name, timeStamp());
}

void printReadError(const char* name, const std::string& reason)
{
    echoLog("READ ERROR %s : %s %s\n", name, reason.c_str(), timeStamp());
}

}  // namespace zek::sender
