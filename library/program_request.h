// The operator asks for a program from the machine by punching out a tape
// O9999 that holds the comment (REQ NAME).
#pragma once

#include <string>

namespace zek::library {

constexpr const char* requestProgram = "O9999";

struct Request {
    bool found = false;
    std::string name;  // as punched
};

// The first (REQ NAME) comment among the tape's program lines; "REQ" in
// either case, blanks around the name ignored.
Request findRequest(const std::string& path);

// 1 to 32 letters, digits, "_", "-" and ".", neither starting with "." (the
// library's own hidden files) nor holding "..": no name outside the library.
bool isValidRequestName(const std::string& name);

// The name as the library files it.
std::string upperCase(std::string name);

}  // namespace zek::library
