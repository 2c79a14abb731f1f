// File names that the controller sends must not reach outside the working directory.
#pragma once

namespace zek::library {

// false for an absolute path, a drive prefix, or a ".." component.
bool isNameInsideWorkDir(const char* name);

// As isNameInsideWorkDir, and false for an empty name and the names the program library keeps
// for itself: hidden ones (starting with ".") and its folders for old
// versions and incomplete tapes, in any case.
bool isNameForLibrary(const char* name);

}  // namespace zek::library
