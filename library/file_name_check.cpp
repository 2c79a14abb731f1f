#include "library/file_name_check.h"

#include <cctype>
#include <cstring>

namespace zek::library {

namespace {

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

bool hasDriveOrRoot(const char* name)
{
    if (isSeparator(name[0]))
        return true;
    return std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
}

bool hasParentComponent(const char* name)
{
    const char* component = name;
    for (const char* p = name;; ++p) {
        if (*p != '\0' && !isSeparator(*p))
            continue;
        if (p - component == 2 && std::strncmp(component, "..", 2) == 0)
            return true;
        if (*p == '\0')
            return false;
        component = p + 1;
    }
}

}  // namespace

bool isNameInsideWorkDir(const char* name)
{
    return !hasDriveOrRoot(name) && !hasParentComponent(name);
}

}  // namespace zek::library
