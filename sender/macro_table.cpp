#include "sender/macro_table.h"

#include <cstring>

#include "log/log.h"
#include "platform/text_file.h"

using namespace zek::log;
using namespace zek::platform;

namespace zek::sender {

namespace {

// A longer line of the file continues as a line of its own.
constexpr int macroLineSize = maxMacroBodyLength + 1;

MacroTable runTable;
bool runTableRead = false;

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

bool readMacroTable(MacroTable& table)
{
    TextReader reader;
    if (!openTextReader(reader, macroFileName)) {
        echoLog("Cant read VELKMAC :");
        return false;
    }
    char line[macroLineSize];
    table.count = 0;
    while (table.count < maxMacroEntries && readTextLine(reader, line, sizeof line)) {
        if (parseMacroEntry(line, table.entries[table.count]))
            ++table.count;
    }
    closeTextReader(reader);
    return true;
}

const char* findMacroBody(const MacroTable& table, const char* item)
{
    for (int i = 0; i < table.count; ++i) {
        if (std::strcmp(table.entries[i].name + 1, item + 1) == 0)
            return table.entries[i].body;
    }
    return nullptr;
}

bool loadMacroTable()
{
    if (!runTableRead)
        runTableRead = readMacroTable(runTable);
    return runTableRead;
}

const char* findMacroBody(const char* item)
{
    return findMacroBody(runTable, item);
}

}  // namespace zek::sender
