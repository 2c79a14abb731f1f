// File names that the controller sends must not reach outside the working directory.
#pragma once

// false for an absolute path, a drive prefix, or a ".." component.
bool isNameInsideWorkDir(const char* name);
