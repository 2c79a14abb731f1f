// Where the library keeps the tapes that do not take a program's place, and
// how it names them so that none is ever overwritten.
#pragma once

#include <ctime>
#include <string>

namespace zek::library {

constexpr const char* versionsFolder = "versions";      // old versions of programs
constexpr const char* incompleteFolder = "incomplete";  // tapes that did not end or could not be stored
// The hidden files tapes are received into, one for each tape until it has
// been filed: this name, else the first free of this name -2, -3, ...
constexpr const char* receivingName = ".zek-receiving";

// The local time as YYYYMMDD-HHMMSS.
std::string fileStamp(std::time_t time);

// base when nothing has that name yet, else the first free of base-2, base-3, ...
std::string freeName(const std::string& base);

// The free name for a tape kept in folder: folder/name.stamp, or -2, -3, ... after it.
std::string keptPath(const char* folder, const std::string& name, const std::string& stamp);

// Makes a fresh empty receiving file, which no other tape uses, and returns
// its name; where none can be made, the name it tried.
std::string makeReceivingFile();

// Makes the folders on the way to the file (a/b/name makes a and a/b) where
// they are not there yet. false when one cannot be made.
bool makeFoldersFor(const std::string& path);

}  // namespace zek::library
