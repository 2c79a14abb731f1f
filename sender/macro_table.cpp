#include "sender/macro_table.h"

#include <cstring>

#include "log/log.h"
#include "platform/text_file.h"

using namespace zek::log;
using namespace zek::platform;

namespace zek::sender {

namespace {

struct MacroEntry {
    char name[maxMacroNameLength + 1];
    char body[maxMacroBodyLength + 1];
};

// A longer line of the file continues as a line of its own.
constexpr int macroLineSize = maxMacroBodyLength + 1;

MacroEntry macroTable[maxMacroEntries];
int macroCount = 0;
bool macroTableLoaded = false;

// An entry line is "@NAME:BODY"; the body ends at the first blank. Lines
// without ":" and names too long for the table are not entries.
bool parseMacroEntry(const char* line, MacroEntry& entry)
{
    if (line[0] != '@')
        return false;
    const char* colon = std::strchr(line, ':');
    if (!colon)
        return false;
    std::size_t nameLength = static_cast<std::size_t>(colon - line);
    if (nameLength > static_cast<std::size_t>(maxMacroNameLength))
        return false;
    const char* body = colon + 1;
    std::size_t bodyLength = std::strcspn(body, " \n");
    std::memcpy(entry.name, line, nameLength);
    entry.name[nameLength] = '\0';
    std::memcpy(entry.body, body, bodyLength);
    entry.body[bodyLength] = '\0';
    return true;
}

}  // namespace

bool loadMacroTable()
{
    if (macroTableLoaded)
        return true;
    TextReader reader;
    if (!openTextReader(reader, macroFileName)) {
        echoLog("Cant read VELKMAC :");
        return false;
    }
    char line[macroLineSize];
    macroCount = 0;
    while (macroCount < maxMacroEntries && readTextLine(reader, line, sizeof line)) {
        if (parseMacroEntry(line, macroTable[macroCount]))
            ++macroCount;
    }
    closeTextReader(reader);
    macroTableLoaded = true;
    return true;
}

const char* findMacroBody(const char* item)
{
    for (int i = 0; i < macroCount; ++i) {
        if (std::strcmp(macroTable[i].name + 1, item + 1) == 0)
            return macroTable[i].body;
    }
    return nullptr;
}

void forgetMacroTable()
{
    macroCount = 0;
    macroTableLoaded = false;
}

}  // namespace zek::sender
