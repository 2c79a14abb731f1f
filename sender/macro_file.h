// The macro file ZEKMAC.TXT and the substitution rules of a call line.
#pragma once

constexpr int maxRules = 32;          // rules an invocation keeps
constexpr int maxRuleTextLength = 63; // FROM or TO
constexpr int macroSpecSize = 257;    // buffer of a macro specification

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

// Turns the text after a sub-program name on a call line into rules and a
// repeat count. false after the reason has been printed.
bool loadMacroSpec(char* spec, RuleList* rules, int* repeatCount);

// Applies one rule to a line that ends in a line feed, in place. The buffer
// must have room for the line to grow by the length of TO plus one blank.
void applyMacroRule(char* line, const char* from, const char* to);
