// The entries of ZEKMAC.TXT, read on first use and kept for the rest of the run.
#pragma once

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

// Reads the macro file into table. false, after "Cant read VELKMAC :", when
// it cannot be opened.
bool readMacroTable(MacroTable& table);

// The body of the first entry whose name equals item from the second
// character on, or nullptr.
const char* findMacroBody(const MacroTable& table, const char* item);

// Reads the run's table unless it has been read already. false when the
// file cannot be opened; the next call tries again.
bool loadMacroTable();

// findMacroBody in the run's table.
const char* findMacroBody(const char* item);

}  // namespace zek::sender
