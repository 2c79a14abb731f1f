#include "platform/console.h"

#include <clocale>
#include <langinfo.h>
#include <strings.h>

namespace zek::platform {

// The locale is asked for its character set alone: LC_CTYPE goes back to
// what it was, so that no character test on received bytes or file names
// changes and numbers and times keep their C form.
static bool localeIsUtf8()
{
    const std::string previous = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    bool utf8 = strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "UTF8") == 0;
    std::setlocale(LC_CTYPE, previous.c_str());
    return utf8;
}

bool consoleTakesUtf8()
{
    static const bool utf8 = localeIsUtf8();
    return utf8;
}

bool writeConsoleWindow(std::FILE*, const std::u16string&)
{
    return false;
}

}  // namespace zek::platform
