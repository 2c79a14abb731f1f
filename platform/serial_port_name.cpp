#include <cstring>

#include "platform/serial_port.h"

namespace zek::platform {

std::string serialPortName(const std::string& channelName)
{
    if (channelName.empty() || channelName[0] == '/')
        return channelName;
    return std::string(numberedPortPrefix) + (channelName == "0" ? "1" : channelName);
}

}  // namespace zek::platform
