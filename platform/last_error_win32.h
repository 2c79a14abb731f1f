// Windows reports a failed call through GetLastError or WSAGetLastError; the
// callers of the link layer read errno, as perror does. Windows builds only.
#pragma once

namespace zek::platform {

// Sets errno from GetLastError(). Always false, for "return failed();".
bool failedWithLastError();
// Sets errno from WSAGetLastError(). Always false.
bool failedWithSocketError();
// The Windows error behind errno, while errno still holds what the last
// failedWith... call set. false when errno came from elsewhere.
bool lastFailureFromWindows(unsigned long* windowsError);

}  // namespace zek::platform
