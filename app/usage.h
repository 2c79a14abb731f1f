// The two usage texts. Both wait for one character and exit with status 1.
#pragma once

namespace zek::app {

[[noreturn]] void printUsage();         // Japanese
[[noreturn]] void printUsageEnglish();  // option -h

}  // namespace zek::app
