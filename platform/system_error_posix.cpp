#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

namespace zek::platform {

std::string lastErrorText()
{
    return std::strerror(errno);
}

}  // namespace zek::platform
