#include "sender/line_filters.h"

#include <cstring>

namespace zek::sender {

namespace {

enum class FilterResult { Drop, Send, NextFilter };

// Only the first address of the letter counts: the two characters after it.
bool firstCodeIs(const char* line, char letter, const char* number)
{
    const char* address = std::strchr(line, letter);
    return address && std::strncmp(address + 1, number, 2) == 0;
}

// An inline sub-program must not end or switch the program it is inserted in.
FilterResult inlineEndCodes(const char* line)
{
    if (!std::strchr(line, 'M'))
        return FilterResult::NextFilter;
    bool endCode = firstCodeIs(line, 'M', "02") || firstCodeIs(line, 'M', "30") || firstCodeIs(line, 'M', "99");
    return endCode ? FilterResult::Drop : FilterResult::Send;
}

FilterResult labelEndCodes(char* line, bool lLabelMode)
{
    if (!std::strchr(line, 'M') || std::strchr(line, '(') || !lLabelMode)
        return FilterResult::NextFilter;
    if (!firstCodeIs(line, 'M', "99") && !firstCodeIs(line, 'M', "30"))
        return FilterResult::NextFilter;
    std::strcpy(line, "G68\n");
    return FilterResult::Send;
}

FilterResult inlineG68(const char* line)
{
    if (!std::strchr(line, 'G'))
        return FilterResult::NextFilter;
    return firstCodeIs(line, 'G', "68") ? FilterResult::Drop : FilterResult::Send;
}

}  // namespace

bool passesLineFilters(char* line, bool isTop, CallKind kind, const SendSettings& settings)
{
    bool inlineCalled = !isTop && kind == CallKind::Inline;
    FilterResult result = FilterResult::NextFilter;
    if (inlineCalled)
        result = inlineEndCodes(line);
    if (result == FilterResult::NextFilter && !isTop)
        result = labelEndCodes(line, settings.lLabelMode);
    if (result == FilterResult::NextFilter && inlineCalled)
        result = inlineG68(line);
    if (result != FilterResult::NextFilter)
        return result == FilterResult::Send;
    return !(settings.skipLLines && std::strchr(line, 'L'));
}

}  // namespace zek::sender
