// A failed port or socket call, reported as perror does: the text, a colon,
// a blank and the reason, on standard error only.
#pragma once

namespace zek::platform {

void reportFailure(const char* text);

}  // namespace zek::platform
