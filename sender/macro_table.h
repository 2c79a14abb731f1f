// The entries of ZEKMAC.TXT, read on first use and read again when the file
// has changed before a later send.
#pragma once

#include <string>

namespace zek::sender {

constexpr const char* macroFileName = "ZEKMAC.TXT";
constexpr int maxMacroEntries = 64;
constexpr int maxMacroNameLength = 15;  // "@" included
constexpr int maxMacroBodyLength = 127;

struct MacroEntry {
    char name[maxMacroNameLength + 1];
    char body[maxMacroBodyLength + 1];
};

// The entries of one reading of the macro file, in the file's order.
struct MacroTable {
    int count = 0;
    MacroEntry entries[maxMacroEntries];
};

// How a reading of the macro file went.
enum class MacroFileRead {
    Read,
    NotOpened,
    Failed,  // it failed to read before its end
};

// Reads the macro file into table, which a failed reading leaves as it was;
// *reason then holds the system's words. Prints nothing.
MacroFileRead readMacroTable(MacroTable& table, std::string* reason);

// The body of the first entry whose name equals item from the second
// character on, or nullptr.
const char* findMacroBody(const MacroTable& table, const char* item);

// Reads the run's table unless it has been read already. A file that cannot
// be opened prints "Cant read VELKMAC :", one that fails to read its READ
// ERROR line; the next call tries again.
MacroFileRead loadMacroTable();

// Before a send: the run's table is read again when the file has changed
// since it was read, so that an edit is seen by a running server; a file
// that cannot be read then leaves the table as it was, with one line.
void refreshMacroTable();

// findMacroBody in the run's table.
const char* findMacroBody(const char* item);

}  // namespace zek::sender
