#include "library/file_name_check.h"

#include <cctype>
#include <cstring>
#include <string>

#include "library/kept_names.h"

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

// Windows drops trailing dots and blanks and ignores case: "Versions. " is
// the folder versions there.
std::string folderAsWindowsFinds(const char* name)
{
    std::string folder(name, std::strcspn(name, "/\\"));
    folder.erase(folder.find_last_not_of(". ") + 1);
    for (char& c : folder)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folder;
}

bool isLibraryOwnName(const char* name)
{
    std::string folder = folderAsWindowsFinds(name);
    return name[0] == '.' || folder == versionsFolder || folder == incompleteFolder;
}

}  // namespace

bool isNameInsideWorkDir(const char* name)
{
    return !hasDriveOrRoot(name) && !hasParentComponent(name);
}

bool isNameForLibrary(const char* name)
{
    return name[0] != '\0' && isNameInsideWorkDir(name) && !isLibraryOwnName(name);
}

}  // namespace zek::library
