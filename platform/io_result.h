// What a read or a write on a device or a socket came to, for the link to
// decide what follows.
#pragma once

namespace zek::platform {

enum class IoStatus {
    Done,         // count bytes moved, possibly 0 (nothing came in time)
    Interrupted,  // a signal or a passing condition: the same call may be made again
    Gone,         // the peer's side has gone (hang-up, closed connection, removed device)
    Failed,       // any other failure
};

struct IoResult {
    int count = 0;
    IoStatus status = IoStatus::Done;
};

}  // namespace zek::platform
