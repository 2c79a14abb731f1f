#include "library/kept_names.h"

#include "platform/clock.h"
#include "platform/files.h"

namespace zek::library {

namespace {

constexpr const char* stampFormat = "%Y%m%d-%H%M%S";
constexpr std::size_t stampSize = sizeof "YYYYMMDD-HHMMSS";
constexpr const char* separators = "/\\";

}  // namespace

std::string fileStamp(std::time_t time)
{
    char stamp[stampSize] = "";
    std::tm local{};
    if (platform::localTime(time, &local))
        std::strftime(stamp, sizeof stamp, stampFormat, &local);
    return stamp;
}

std::string freeName(const std::string& base)
{
    std::string name = base;
    for (int copy = 2; platform::nameExists(name.c_str()); ++copy)
        name = base + "-" + std::to_string(copy);
    return name;
}

std::string keptPath(const char* folder, const std::string& name, const std::string& stamp)
{
    return freeName(std::string(folder) + "/" + name + "." + stamp);
}

// Made exclusively: a name that another process took after the look is not used.
std::string makeReceivingFile()
{
    for (;;) {
        std::string name = freeName(receivingName);
        if (platform::makeNewFile(name.c_str()) || !platform::nameExists(name.c_str()))
            return name;
    }
}

bool makeFoldersFor(const std::string& path)
{
    for (std::size_t end = path.find_first_of(separators); end != std::string::npos;
         end = path.find_first_of(separators, end + 1))
        if (!platform::makeDirectory(path.substr(0, end).c_str()))
            return false;
    return true;
}

}  // namespace zek::library
