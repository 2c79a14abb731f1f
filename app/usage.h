// The usage texts. The two of the single letters wait for one character and
// exit with status 1.
#pragma once

namespace zek::app {

[[noreturn]] void printUsage();         // Japanese
[[noreturn]] void printUsageEnglish();  // option -h
void printHelp();                       // --help: English, with the long options

}  // namespace zek::app
