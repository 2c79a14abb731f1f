// The file system calls that keep what is stored whole across a power cut.
// Implemented once per system (files_posix.cpp, files_win32.cpp); which file
// goes where is decided above.
#pragma once

namespace zek::platform {

// Writes what the system holds of the file to the disk.
bool flushFile(const char* path);

// Puts the file from in the place of to in one step: to names either what it
// named before or the whole of from. true once the move is made; the move
// is written through to the disk (on POSIX, by a flush of to's directory).
bool replaceFile(const char* from, const char* to);

// A second name for an existing file, made durable; false where the file
// system has no hard links, or newName exists.
bool linkFile(const char* existing, const char* newName);

// A new file newName with the bytes of from, on the disk; false, with nothing
// left at newName, when it cannot be made whole or newName exists.
bool copyFile(const char* from, const char* newName);

// Makes an empty file of that name; false when the name is taken (whatever
// took it, and whenever) or the file cannot be made.
bool makeNewFile(const char* path);

// true when the directory is there afterwards, made now or before.
bool makeDirectory(const char* path);

// true when anything (a file, a directory) has that name.
bool nameExists(const char* path);

}  // namespace zek::platform
