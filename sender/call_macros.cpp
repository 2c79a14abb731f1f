#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "log/log.h"
#include "sender/macro_file.h"
#include "sender/macro_table.h"

using namespace zek::log;

namespace zek::sender {

namespace {

constexpr int ruleTextCapacity = 255;
constexpr const char* itemSeparators = " ,\n)";
constexpr const char* ruleSeparators = ",\n)";

struct RuleText {
    char text[ruleTextCapacity + 1];
    std::size_t length;
};

bool namesMacro(const char* item)
{
    return item[0] == '@' || item[0] == 'A';
}

// Adds one body or one rule to the rule text; false when it does not fit.
bool appendRuleText(RuleText& ruleText, const char* addition)
{
    std::size_t additionLength = std::strlen(addition);
    std::size_t separatorLength = ruleText.length == 0 ? 0 : 1;
    if (ruleText.length + separatorLength + additionLength > static_cast<std::size_t>(ruleTextCapacity))
        return false;
    if (separatorLength)
        ruleText.text[ruleText.length++] = ',';
    std::memcpy(ruleText.text + ruleText.length, addition, additionLength + 1);
    ruleText.length += additionLength;
    return true;
}

bool addMacro(RuleText& ruleText, const char* item, bool firstItem)
{
    const char* body = findMacroBody(item);
    if (!body) {
        echoLog(firstItem ? "Cant find VELKMAC ENTRY \n" : "Cant find VELKMACRO ENTRY \n");
        return false;
    }
    if (!appendRuleText(ruleText, body)) {
        echoLog("Too long Macro command over 255lines !!\n");
        return false;
    }
    return true;
}

bool addRuleInPlace(RuleText& ruleText, const char* item)
{
    if (!appendRuleText(ruleText, item)) {
        echoLog("Too long Macro command over 255 lines !!\n");
        return false;
    }
    return true;
}

// An optional sign and digits at the start of the item; other items leave
// the count as it was.
void readRepeatCount(const char* item, int* repeatCount)
{
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(item, &end, 10);
    if (end == item)
        return;
    if (value > INT_MAX || (errno == ERANGE && value > 0))
        value = INT_MAX;
    if (value < 0)
        value = 0;
    *repeatCount = static_cast<int>(value);
}

bool gatherRuleText(char* spec, RuleText& ruleText, int* repeatCount)
{
    bool firstItem = true;
    for (char* item = std::strtok(spec, itemSeparators); item;
         item = std::strtok(nullptr, itemSeparators), firstItem = false) {
        bool added = true;
        if (namesMacro(item))
            added = addMacro(ruleText, item, firstItem);
        else if (std::strchr(item, '='))
            added = addRuleInPlace(ruleText, item);
        else
            readRepeatCount(item, repeatCount);
        if (!added)
            return false;
    }
    return true;
}

bool copyRuleText(char* target, const char* text, std::size_t length)
{
    if (length > static_cast<std::size_t>(maxRuleTextLength))
        return false;
    std::memcpy(target, text, length);
    target[length] = '\0';
    return true;
}

// FROM=TO pieces become rules in their order; pieces without "=" are dropped,
// and rules past the list's capacity are not taken over.
bool splitRules(char* ruleText, RuleList* rules)
{
    rules->count = 0;
    for (char* piece = std::strtok(ruleText, ruleSeparators); piece; piece = std::strtok(nullptr, ruleSeparators)) {
        const char* equals = std::strchr(piece, '=');
        if (!equals || rules->count == maxRules)
            continue;
        MacroRule& rule = rules->rules[rules->count];
        if (!copyRuleText(rule.from, piece, static_cast<std::size_t>(equals - piece)) ||
            !copyRuleText(rule.to, equals + 1, std::strlen(equals + 1))) {
            echoLog("Too long Macro command over 255 lines !!\n");
            return false;
        }
        ++rules->count;
    }
    return true;
}

}  // namespace

MacroSpecLoad loadMacroSpec(char* spec, RuleList* rules, int* repeatCount)
{
    *repeatCount = 1;
    rules->count = 0;
    MacroFileRead table = loadMacroTable();
    if (table != MacroFileRead::Read)
        return table == MacroFileRead::Failed ? MacroSpecLoad::Unreadable : MacroSpecLoad::Refused;
    RuleText ruleText{};
    if (!gatherRuleText(spec, ruleText, repeatCount) || !splitRules(ruleText.text, rules))
        return MacroSpecLoad::Refused;
    return MacroSpecLoad::Loaded;
}

}  // namespace zek::sender
