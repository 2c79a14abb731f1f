// The working directory as a program library: every tape the controller
// punches out is stored under its program number (or the name the
// controller gave it), old versions are kept, nothing is overwritten or
// half-written, and a request tape asks for a program. The receivers write
// a tape into receivingName and hand it over when the receive has ended;
// each hand-over is reported on one LIBRARY line.
#pragma once

#include <ctime>
#include <string>

#include "library/tape_comparison.h"

namespace zek::library {

// The hidden file a tape is received into, in the library.
constexpr const char* receivingName = ".zek-receiving";

// Where the library takes the time of a move from, for the names it stamps.
using Clock = std::time_t (*)();
std::time_t systemTime();

class Library {
public:
    explicit Library(Clock clock = systemTime) : clock_(clock) {}

    // A tape left in receivingName (by an interrupted run, or one the disk
    // would not take) goes to incomplete/. Nothing happens when there is none,
    // so it may also be called before each receive.
    void recoverInterrupted();

    // Files the tape in receivingName under its program number (Protocol B):
    // complete, it is stored or is a request; incomplete, it goes to incomplete/.
    // Nothing happens when no tape is there.
    void fileTape(bool complete);

    // Files it under the name the controller gave (Protocol A), as fileTape
    // does but without requests. A name that would leave the library or
    // take its own files (see isNameForLibrary) is not stored.
    void fileAs(const std::string& name, bool complete);

    // The program a request asked for, handed out once; "" when none is pending.
    std::string takeRequest();

private:
    struct Tape;

    bool fileRequest();
    void store(const Tape& tape);
    void storeNew(const Tape& tape);
    void storeChanged(const Tape& tape, const LineDifference& difference);
    void keepIncomplete(const Tape& tape);
    void keepNotStored(const Tape& tape);
    std::string moveApart(const Tape& tape);

    Clock clock_;
    std::string pendingRequest_;
};

}  // namespace zek::library
