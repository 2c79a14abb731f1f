// The controller's side of a Protocol A client run, answering at once:
// SYN, SYN and RDY in kind, GTD to an RTD and to every DAT, DAT pieces (with
// ISO parity) to every GTD while it has data, then EOD.
#pragma once

#include <cstddef>
#include <string>

#include "child_process.h"

struct ControllerRun {
    bool completed = false;     // the dialogue reached its end
    long dataRecords = 0;       // DAT records moved, either way
    std::size_t dataBytes = 0;  // their payload bytes
    long badRecords = 0;        // records whose checksum did not match
    Clock::time_point end;      // EOD received, or the SYN that answers our EOD
};

constexpr int controllerPieceSize = 1000;

// dataToSend empty: the controller receives (the peer sends with -g);
// otherwise it hands out dataToSend in pieces (the peer receives with -R).
ControllerRun playInstantController(int fd, const std::string& dataToSend, int timeoutMs);
