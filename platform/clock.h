// Waiting a fixed time.
#pragma once

namespace zek::platform {

void sleepMs(int milliseconds);

}  // namespace zek::platform
