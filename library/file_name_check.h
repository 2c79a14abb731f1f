// File names that the controller sends must not reach outside the working directory.
#pragma once

namespace zek::library {

// false for an absolute path, a drive prefix, or a ".." component.
bool isNameInsideWorkDir(const char* name);

}  // namespace zek::library
