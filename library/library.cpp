#include "library/library.h"

#include <cstdio>

#include "library/file_name_check.h"
#include "library/program_request.h"
#include "library/tape_name.h"
#include "log/log.h"
#include "platform/file_status.h"
#include "platform/files.h"

using namespace zek::platform;
using zek::log::echoLog;

namespace zek::library {

namespace {

constexpr const char* noName = "NONAME";

std::string orNoName(const std::string& name)
{
    return name.empty() ? noName : name;
}

}  // namespace

// A tape in its receiving file on its way into the library.
struct Library::Tape {
    std::string receiving;  // the file it was received into
    std::string stamp;      // the local time of the move
    bool retried;           // a leftover of this run, its place reported when it was filed first
    std::string name;       // the name it is filed under
    std::string apartName;  // its name in incomplete/, should it go there
};

std::time_t systemTime()
{
    return std::time(nullptr);
}

std::unique_ptr<Library> openLibrary()
{
    auto library = std::make_unique<Library>();
    library->fileLeftovers();
    return library;
}

std::string Library::startTape()
{
    fileLeftovers();
    return makeReceivingFile();
}

// A tape left by an earlier run may have been cut off: it goes apart.
void Library::fileLeftovers()
{
    for (const std::string& receiving : namesBeginningWith(receivingName)) {
        auto known = leftovers_.find(receiving);
        bool retried = known != leftovers_.end();
        file(receiving, retried ? known->second : Filing{"", Received::Cut}, retried);
    }
}

void Library::fileTape(const std::string& receiving, Received received)
{
    file(receiving, {"", received}, false);
}

void Library::fileAs(const std::string& receiving, const std::string& name, Received received)
{
    file(receiving, {name, received}, false);
}

std::string Library::takeRequest()
{
    std::string request;
    request.swap(pendingRequest_);
    return request;
}

// A receive that could not make its file has kept nothing. A tape that
// cannot be moved stays in its receiving file, remembered for the next try.
void Library::file(const std::string& receiving, const Filing& filing, bool retried)
{
    if (!nameExists(receiving.c_str())) {
        echoLog("LIBRARY NOT STORED %s, NOT KEPT\n", orNoName(filing.givenName).c_str());
        return;
    }
    Tape tape{receiving, fileStamp(clock_()), retried, "", ""};
    if (filing.givenName.empty())
        fileByNumber(tape, filing);
    else
        fileByGivenName(tape, filing);
    if (nameExists(receiving.c_str()))
        leftovers_[receiving] = filing;
    else
        leftovers_.erase(receiving);
}

void Library::fileByNumber(Tape& tape, const Filing& filing)
{
    std::string name = programName(tape.receiving);
    tape.apartName = orNoName(name);
    if (filing.received != Received::Whole) {
        tape.name = tape.apartName;
        return keepApart(tape, filing.received);
    }
    if (name == requestProgram && fileRequest(tape))
        return;
    tape.name = name.empty() ? freeName(std::string(noName) + "-" + tape.stamp) : name;
    store(tape);
}

void Library::fileByGivenName(Tape& tape, const Filing& filing)
{
    tape.name = tape.apartName = filing.givenName;
    if (!isNameForLibrary(tape.name.c_str())) {
        tape.apartName = noName;
        return keepNotStored(tape);
    }
    if (filing.received != Received::Whole)
        return keepApart(tape, filing.received);
    store(tape);
}

// false when the tape asks for nothing and is an ordinary program.
bool Library::fileRequest(const Tape& tape)
{
    Request request = findRequest(tape.receiving);
    if (!request.found)
        return false;
    std::remove(tape.receiving.c_str());
    if (tape.retried)
        return true;  // answered when it came, only not removed then
    pendingRequest_.clear();
    if (!isValidRequestName(request.name)) {
        echoLog("LIBRARY REQUEST REFUSED %s\n", request.name.c_str());
        return true;
    }
    pendingRequest_ = upperCase(request.name);
    echoLog("LIBRARY REQUEST %s\n", pendingRequest_.c_str());
    return true;
}

// A tape that could not be flushed may not be whole on the disk: it must
// not take a program's place.
void Library::store(const Tape& tape)
{
    const char* receiving = tape.receiving.c_str();
    if (!flushFile(receiving))
        return keepNotStored(tape);
    if (!nameExists(tape.name.c_str()))
        return storeNew(tape);
    LineDifference difference = compareTapes(tape.name, tape.receiving);
    if (difference.count > 0)
        return storeChanged(tape, difference);
    std::remove(receiving);
    echoLog("LIBRARY SAME %s\n", tape.name.c_str());
}

void Library::storeNew(const Tape& tape)
{
    if (!replaceFile(tape.receiving.c_str(), tape.name.c_str()))
        return keepNotStored(tape);
    echoLog("LIBRARY NEW %s\n", tape.name.c_str());
}

// The old program gets its second name in versions/ first, so that the
// replacement that follows leaves it there, and the name always holds one
// whole program. A copy stands in where the file system has no hard links.
void Library::storeChanged(const Tape& tape, const LineDifference& difference)
{
    std::string kept = keptPath(versionsFolder, tape.name, tape.stamp);
    const char* old = tape.name.c_str();
    if (!makeFoldersFor(kept) || !(linkFile(old, kept.c_str()) || copyFile(old, kept.c_str())))
        return keepNotStored(tape);
    if (!replaceFile(tape.receiving.c_str(), old)) {
        std::remove(kept.c_str());  // the old program is still in its place
        return keepNotStored(tape);
    }
    echoLog("LIBRARY CHANGED %s, %ld LINES DIFFER FROM LINE %ld, OLD KEPT AS %s\n", old, difference.count,
            difference.firstLine, kept.c_str());
}

// What the disk did not take whole is no cut tape: it was not stored.
void Library::keepApart(const Tape& tape, Received received)
{
    if (received == Received::NotWritten)
        return keepNotStored(tape);
    keepIncomplete(tape);
}

void Library::keepIncomplete(const Tape& tape)
{
    std::string where = moveApart(tape);
    if (where == tape.receiving)
        return reportNotStored(tape, where);
    echoLog("LIBRARY INCOMPLETE %s KEPT AS %s\n", tape.name.c_str(), where.c_str());
}

void Library::keepNotStored(const Tape& tape)
{
    reportNotStored(tape, moveApart(tape));
}

// Once per tape while it stays in its receiving file: the retries before
// each receive would only repeat it.
void Library::reportNotStored(const Tape& tape, const std::string& where)
{
    if (tape.retried && where == tape.receiving)
        return;
    echoLog("LIBRARY NOT STORED %s KEPT AS %s\n", tape.name.c_str(), where.c_str());
}

// Where the tape is now: in incomplete/, or still in its receiving file when
// it cannot be moved there. Flushed first as far as the disk allows; a tape
// that cannot be flushed is kept all the same.
std::string Library::moveApart(const Tape& tape)
{
    const char* receiving = tape.receiving.c_str();
    flushFile(receiving);
    std::string path = keptPath(incompleteFolder, tape.apartName, tape.stamp);
    if (makeFoldersFor(path) && replaceFile(receiving, path.c_str()))
        return path;
    return tape.receiving;
}

}  // namespace zek::library
