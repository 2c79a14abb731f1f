// Windows reports a failed call through GetLastError or WSAGetLastError; the
// callers of the link layer read errno, as perror does. Windows builds only.
#pragma once

// Sets errno from GetLastError(). Always false, for "return failed();".
bool failedWithLastError();
// Sets errno from WSAGetLastError(). Always false.
bool failedWithSocketError();
