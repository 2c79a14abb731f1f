// The working directory as a program library: every tape the controller
// punches out is stored under its program number (or the name the
// controller gave it), old versions are kept, nothing is overwritten or
// half-written, and a request tape asks for a program. The receivers write
// each tape into a receiving file of its own (startTape) and hand it over
// when the receive has ended; each hand-over is reported on one LIBRARY line.
#pragma once

#include <ctime>
#include <map>
#include <memory>
#include <string>

#include "library/kept_names.h"
#include "library/tape_comparison.h"

namespace zek::library {

// How a tape's receive ended: whole, cut off on the line (the controller, the
// cable, --idle-end), or not taken whole by the disk.
enum class Received { Whole, Cut, NotWritten };

// Where the library takes the time of a move from, for the names it stamps.
using Clock = std::time_t (*)();
std::time_t systemTime();

class Library {
public:
    explicit Library(Clock clock = systemTime) : clock_(clock) {}

    // Files the tapes still in receiving files (fileLeftovers), then makes a
    // fresh one for the next tape. Its name; where none could be made, the
    // name tried, which the receiver then fails to open and reports.
    std::string startTape();

    // Files the tapes left in receiving files by an interrupted run, or by a
    // disk that would not take them. A tape of this run that still cannot be
    // moved stays where it is without another line.
    void fileLeftovers();

    // Files the tape in receiving under its program number (Protocol B):
    // whole, it is stored or is a request; otherwise it goes to incomplete/.
    void fileTape(const std::string& receiving, Received received);

    // Files it under the name the controller gave (Protocol A), as fileTape
    // does but without requests. A name that would leave the library or
    // take its own files (see isNameForLibrary) is not stored.
    void fileAs(const std::string& receiving, const std::string& name, Received received);

    // The program a request asked for, handed out once; "" when none is pending.
    std::string takeRequest();

private:
    struct Tape;
    // How a tape is to be filed: under its program number when givenName is "".
    struct Filing {
        std::string givenName;
        Received received;
    };

    void file(const std::string& receiving, const Filing& filing, bool retried);
    void fileByNumber(Tape& tape, const Filing& filing);
    void fileByGivenName(Tape& tape, const Filing& filing);
    bool fileRequest(const Tape& tape);
    void store(const Tape& tape);
    void storeNew(const Tape& tape);
    void storeChanged(const Tape& tape, const LineDifference& difference);
    void keepApart(const Tape& tape, Received received);
    void keepIncomplete(const Tape& tape);
    void keepNotStored(const Tape& tape);
    void reportNotStored(const Tape& tape, const std::string& where);
    std::string moveApart(const Tape& tape);

    Clock clock_;
    std::string pendingRequest_;
    std::map<std::string, Filing> leftovers_;  // the receiving files this run could not move, by name
};

// The library of a server run with --library, its leftover tapes filed.
std::unique_ptr<Library> openLibrary();

}  // namespace zek::library
