// The macro file ZEKMAC.TXT and the substitution rules of a call line.
#pragma once

namespace zek::sender {

constexpr int maxRules = 32;           // rules an invocation keeps
constexpr int maxRuleTextLength = 63;  // FROM or TO

struct MacroRule {
    char from[maxRuleTextLength + 1];
    char to[maxRuleTextLength + 1];
};

struct RuleList {
    int count = 0;
    MacroRule rules[maxRules];
};

// Creates ZEKMAC.TXT with its default content when it is missing.
void ensureMacroFile();

// What became of a call line's macro specification; the reason for each
// failure has been printed.
enum class MacroSpecLoad {
    Loaded,
    Refused,     // no macro file, an unknown entry, too many rules: the sender answers with its error tape
    Unreadable,  // the macro file failed to read before its end: the send stops there
};

// Turns the text after a sub-program name on a call line (macro names, rules
// written in place, a repeat count) into rules and the count. The text is
// split in place; the rules are copied into *rules, so they outlive it.
MacroSpecLoad loadMacroSpec(char* spec, RuleList* rules, int* repeatCount);

// Applies one rule to a line, in place. The buffer must have room for the
// line to grow by the length of TO plus one blank.
void applyMacroRule(char* line, const char* from, const char* to);

}  // namespace zek::sender
