#include "app/usage.h"
#include <cstdlib>
void printUsage() { std::exit(1); }
void printUsageEnglish() { std::exit(1); }
