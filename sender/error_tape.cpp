#include "sender/error_tape.h"

#include <cstdio>
#include <vector>

#include "sender/text_sink.h"

namespace zek::sender {

void sendErrorTape(TextSink& sink, const char* problem, const char* name)
{
    int length = std::snprintf(nullptr, 0, "(ZEK_ERROR %s %s)\n%%\n", name, problem);
    if (length < 0)
        return;
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    std::snprintf(text.data(), text.size(), "(ZEK_ERROR %s %s)\n%%\n", name, problem);
    sink.errorTape(text.data());
}

}  // namespace zek::sender
