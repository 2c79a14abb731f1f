#include "platform/last_error_win32.h"

// Windows Sockets before the rest of Windows, which would bring the old sockets.
#include <winsock2.h>

#include <windows.h>

#include <cerrno>

namespace zek::platform {

namespace {

struct ErrorPair {
    DWORD windowsError;
    int errnoValue;
};

// Only the errno values that the C runtime can describe by name, except for
// the socket errors, which have no older equivalent.
constexpr ErrorPair errorPairs[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},
    {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_INVALID_NAME, ENOENT},
    {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_SHARING_VIOLATION, EBUSY},
    {ERROR_INVALID_HANDLE, EBADF},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
    {ERROR_OUTOFMEMORY, ENOMEM},
    {ERROR_INVALID_PARAMETER, EINVAL},
    {ERROR_INVALID_FUNCTION, ENOTTY},
    {ERROR_NOT_SUPPORTED, ENOTTY},
    {ERROR_CALL_NOT_IMPLEMENTED, ENOSYS},
    {ERROR_BAD_UNIT, ENODEV},
    {ERROR_NOT_READY, ENODEV},
    {ERROR_DEV_NOT_EXIST, ENODEV},
    {ERROR_GEN_FAILURE, EIO},
    {ERROR_IO_DEVICE, EIO},
    {ERROR_OPERATION_ABORTED, EINTR},
    {ERROR_BROKEN_PIPE, EPIPE},
    {ERROR_NO_DATA, EPIPE},
    {WSAEINTR, EINTR},
    {WSAEBADF, EBADF},
    {WSAEACCES, EACCES},
    {WSAEFAULT, EFAULT},
    {WSAEINVAL, EINVAL},
    {WSAEMFILE, EMFILE},
    {WSAEWOULDBLOCK, EAGAIN},
    {WSAEADDRINUSE, EADDRINUSE},
    {WSAEADDRNOTAVAIL, EADDRNOTAVAIL},
    {WSAENETDOWN, ENETDOWN},
    {WSAENETUNREACH, ENETUNREACH},
    {WSAECONNABORTED, ECONNABORTED},
    {WSAECONNRESET, ECONNRESET},
    {WSAENOBUFS, ENOBUFS},
    {WSAENOTCONN, ENOTCONN},
    {WSAETIMEDOUT, ETIMEDOUT},
    {WSAECONNREFUSED, ECONNREFUSED},
    {WSAEHOSTUNREACH, EHOSTUNREACH},
    {WSANOTINITIALISED, EINVAL},
    {WSAHOST_NOT_FOUND, ENOENT},
    {WSANO_DATA, ENOENT},
};

int errnoFor(DWORD windowsError)
{
    for (const ErrorPair& pair : errorPairs) {
        if (pair.windowsError == windowsError)
            return pair.errnoValue;
    }
    return EIO;
}

DWORD recordedError = 0;
int recordedErrno = 0;

bool failedWith(DWORD windowsError)
{
    recordedError = windowsError;
    recordedErrno = errnoFor(windowsError);
    errno = recordedErrno;
    return false;
}

}  // namespace

bool failedWithLastError()
{
    return failedWith(GetLastError());
}

bool failedWithSocketError()
{
    return failedWith(static_cast<DWORD>(WSAGetLastError()));
}

bool lastFailureFromWindows(unsigned long* windowsError)
{
    if (recordedError == 0 || errno != recordedErrno)
        return false;
    *windowsError = recordedError;
    return true;
}

}  // namespace zek::platform
