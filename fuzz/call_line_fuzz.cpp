// Call lines and their macro specifications: the first line of the input is
// read as a program line that may call a sub-program, the rest as a line of
// the sub-program that the call's rules then rewrite. The name and the
// specification stay inside the call line, the rules inside their fields
// (which rules a call text gives is for the unit tests), and no rule makes a
// line outgrow its buffer.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "sender/call_line.h"
#include "sender/macro_file.h"
#include "sender/macro_table.h"
#include "sender/subprogram_send.h"

using namespace zek::sender;

namespace {

// A program line in a buffer of exactly the sender's size, so that any write
// past it is caught; read as the sender reads it, a line feed added to a
// last line that has none.
std::unique_ptr<char[]> programLine(const char* text, std::size_t length)
{
    std::unique_ptr<char[]> line(new char[lineBufferSize]);
    std::memcpy(line.get(), text, length);
    line[length] = '\0';
    std::size_t used = std::strlen(line.get());
    if (used > 0 && used < lineReadSize - 1 && line[used - 1] != '\n')
        std::strcpy(line.get() + used, "\n");
    return line;
}

bool inside(const char* pointer, const char* line)
{
    return pointer >= line && pointer <= line + std::strlen(line);
}

void checkCallLine(char* line, const CallLine& call)
{
    fuzzCheck(inside(call.name, line) && inside(call.name + call.nameLength, line), "the name lies in the line");
    fuzzCheck(std::strcspn(call.name, " ,\n)") == call.nameLength, "the name stops at its first separator");
    fuzzCheck(!call.macroSpec || inside(call.macroSpec, line), "the macro specification lies in the line");
}

void checkRules(const RuleList& rules, int repeatCount)
{
    fuzzCheck(rules.count >= 0 && rules.count <= maxRules && repeatCount >= 0, "rules and count in bounds");
    for (int i = 0; i < rules.count; ++i) {
        const MacroRule& rule = rules.rules[i];
        fuzzCheck(std::memchr(rule.from, '\0', sizeof rule.from) && std::memchr(rule.to, '\0', sizeof rule.to),
                  "FROM and TO are terminated");
        fuzzCheck(std::strcspn(rule.from, ",\n)") == std::strlen(rule.from), "FROM holds no separator");
    }
}

// One rule on one line: the line grows by at most TO and a blank, a line
// with a comment never changes, and a changed line is even, its line feed
// counted, and ends there.
void applyChecked(char* line, const char* from, const char* to)
{
    std::string before = line;
    applyMacroRule(line, from, to);
    std::size_t length = std::strlen(line);
    fuzzCheck(length < lineBufferSize, "the line fits its buffer");
    fuzzCheck(length <= before.size() + std::strcspn(to, " ") + 1, "a rule adds at most TO and a blank");
    if (before.find('(') != std::string::npos || from[0] == '\0' || before.find(from[0]) == std::string::npos)
        fuzzCheck(before == line, "a line the rule cannot touch stays as it was");
    if (before == line)
        return;
    const char* lineFeed = std::strchr(line, '\n');
    if (lineFeed) {
        fuzzCheck(lineFeed[1] == '\0', "nothing follows a changed line's line feed");
        fuzzCheck((lineFeed - line + 1) % 2 == 0, "a changed line has an even length");
    }
}

// A rule straight from the call line's bytes, whatever they hold.
void applyRawRule(char* line, const InputLines& input)
{
    std::string text(input.first, input.firstLength);
    text = text.substr(0, text.find('\0'));
    std::size_t equals = text.find('=');
    if (equals == std::string::npos)
        return;
    std::string from = text.substr(0, std::min<std::size_t>(equals, maxRuleTextLength));
    std::string to = text.substr(equals + 1, maxRuleTextLength);
    applyChecked(line, from.c_str(), to.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    enterScratchDirectory();
    ensureMacroFile();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    InputLines input = splitFirstLine(data, size, lineReadSize - 1);
    std::unique_ptr<char[]> callLine = programLine(input.first, input.firstLength);
    std::unique_ptr<char[]> line = programLine(input.rest, input.restLength);
    CallLine call;
    RuleList rules;
    int repeatCount = 1;
    if (findCallLine(callLine.get(), &call)) {
        checkCallLine(callLine.get(), call);
        if (call.macroSpec && loadMacroSpec(call.macroSpec, &rules, &repeatCount) == MacroSpecLoad::Loaded) {
            checkRules(rules, repeatCount);
            for (int i = 0; i < rules.count; ++i)
                applyChecked(line.get(), rules.rules[i].from, rules.rules[i].to);
        }
    }
    std::unique_ptr<char[]> freshLine = programLine(input.rest, input.restLength);
    applyRawRule(freshLine.get(), input);
    return 0;
}
