// Waiting a fixed time.
#pragma once

namespace zek::link {

void sleepMs(int milliseconds);

}  // namespace zek::link
