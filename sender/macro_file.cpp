#include "sender/macro_file.h"
void ensureMacroFile() {}
bool loadMacroSpec(char*, RuleList*, int*) { return false; }
void applyMacroRule(char*, const char*, const char*) {}
