#include "sender/macro_table.h"

#include <cstring>

#include "log/log.h"
#include "platform/file_status.h"
#include "platform/text_file.h"
#include "sender/send_status.h"

using namespace zek::log;
using namespace zek::platform;

namespace zek::sender {

namespace {

// A longer line of the file continues as a line of its own.
constexpr int macroLineSize = maxMacroBodyLength + 1;

MacroTable runTable;
bool runTableRead = false;
platform::FileVersion runTableVersion;  // the file's, when runTable was read

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

MacroFileRead readMacroTable(MacroTable& table, std::string* reason)
{
    TextReader reader;
    if (!openTextReader(reader, macroFileName)) {
        *reason = textReadError(reader);
        return MacroFileRead::NotOpened;
    }
    MacroTable fresh;
    char line[macroLineSize];
    while (fresh.count < maxMacroEntries && readTextLine(reader, line, sizeof line)) {
        if (parseMacroEntry(line, fresh.entries[fresh.count]))
            ++fresh.count;
    }
    bool failed = textReadFailed(reader);
    *reason = failed ? textReadError(reader) : "";
    closeTextReader(reader);
    if (failed)
        return MacroFileRead::Failed;
    table = fresh;
    return MacroFileRead::Read;
}

const char* findMacroBody(const MacroTable& table, const char* item)
{
    for (int i = 0; i < table.count; ++i) {
        if (std::strcmp(table.entries[i].name + 1, item + 1) == 0)
            return table.entries[i].body;
    }
    return nullptr;
}

MacroFileRead loadMacroTable()
{
    if (runTableRead)
        return MacroFileRead::Read;
    platform::FileVersion version = fileVersion(macroFileName);
    std::string reason;
    MacroFileRead result = readMacroTable(runTable, &reason);
    if (result == MacroFileRead::NotOpened)
        echoLog("Cant read VELKMAC :");
    if (result == MacroFileRead::Failed)
        printReadError(macroFileName, reason);
    runTableRead = result == MacroFileRead::Read;
    runTableVersion = version;
    return result;
}

void refreshMacroTable()
{
    platform::FileVersion version = fileVersion(macroFileName);
    if (!runTableRead || version == runTableVersion)
        return;
    std::string reason;
    if (readMacroTable(runTable, &reason) != MacroFileRead::Read) {
        echoLog("MACRO FILE %s NOT READ AGAIN : %s, MACROS KEPT %s\n", macroFileName, reason.c_str(), timeStamp());
        return;
    }
    runTableVersion = version;
    echoLog("MACRO FILE %s READ AGAIN %s\n", macroFileName, timeStamp());
}

const char* findMacroBody(const char* item)
{
    return findMacroBody(runTable, item);
}

}  // namespace zek::sender
