// The entries of ZEKMAC.TXT, read on first use and kept for the rest of the run.
#pragma once

namespace zek::sender {

constexpr const char* macroFileName = "ZEKMAC.TXT";
constexpr int maxMacroEntries = 64;
constexpr int maxMacroNameLength = 15;  // "@" included
constexpr int maxMacroBodyLength = 127;

// Reads the macro file unless it has been read already. false, after
// "Cant read VELKMAC :", when it cannot be opened; the next call tries again.
bool loadMacroTable();

// The body of the first entry whose name equals item from the second
// character on, or nullptr.
const char* findMacroBody(const char* item);

// Drops the table, so that the next load reads the file anew.
void forgetMacroTable();

}  // namespace zek::sender
