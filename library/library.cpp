#include "library/library.h"

#include <cstdio>

#include "library/file_name_check.h"
#include "library/kept_names.h"
#include "library/program_request.h"
#include "library/tape_name.h"
#include "log/log.h"
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

void reportNotStored(const std::string& name, const std::string& where)
{
    echoLog("LIBRARY NOT STORED %s KEPT AS %s\n", name.c_str(), where.c_str());
}

}  // namespace

// The tape in receivingName on its way into the library.
struct Library::Tape {
    std::string name;       // the name it is filed under
    std::string apartName;  // its name in incomplete/, should it go there
    std::string stamp;      // the local time of the move
};

std::time_t systemTime()
{
    return std::time(nullptr);
}

void Library::recoverInterrupted()
{
    fileTape(false);
}

void Library::fileTape(bool complete)
{
    if (!nameExists(receivingName))
        return;
    std::string stamp = fileStamp(clock_());
    std::string name = programName(receivingName);
    if (!complete)
        return keepIncomplete({orNoName(name), orNoName(name), stamp});
    if (name == requestProgram && fileRequest())
        return;
    std::string stored = name.empty() ? freeName(std::string(noName) + "-" + stamp) : name;
    store({stored, orNoName(name), stamp});
}

void Library::fileAs(const std::string& name, bool complete)
{
    if (!nameExists(receivingName))
        return;
    Tape tape{name, name, fileStamp(clock_())};
    if (!isNameForLibrary(name.c_str())) {
        tape.apartName = noName;
        return keepNotStored(tape);
    }
    if (!complete)
        return keepIncomplete(tape);
    store(tape);
}

std::string Library::takeRequest()
{
    std::string request;
    request.swap(pendingRequest_);
    return request;
}

// false when the tape asks for nothing and is an ordinary program.
bool Library::fileRequest()
{
    Request request = findRequest(receivingName);
    if (!request.found)
        return false;
    std::remove(receivingName);
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
    if (!flushFile(receivingName))
        return keepNotStored(tape);
    if (!nameExists(tape.name.c_str()))
        return storeNew(tape);
    LineDifference difference = compareTapes(tape.name, receivingName);
    if (difference.count > 0)
        return storeChanged(tape, difference);
    std::remove(receivingName);
    echoLog("LIBRARY SAME %s\n", tape.name.c_str());
}

void Library::storeNew(const Tape& tape)
{
    if (!replaceFile(receivingName, tape.name.c_str()))
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
    if (!replaceFile(receivingName, old)) {
        std::remove(kept.c_str());  // the old program is still in its place
        return keepNotStored(tape);
    }
    echoLog("LIBRARY CHANGED %s, %ld LINES DIFFER FROM LINE %ld, OLD KEPT AS %s\n", old, difference.count,
            difference.firstLine, kept.c_str());
}

void Library::keepIncomplete(const Tape& tape)
{
    std::string where = moveApart(tape);
    if (where == receivingName)
        return reportNotStored(tape.name, where);
    echoLog("LIBRARY INCOMPLETE %s KEPT AS %s\n", tape.name.c_str(), where.c_str());
}

void Library::keepNotStored(const Tape& tape)
{
    reportNotStored(tape.name, moveApart(tape));
}

// Where the tape is now: in incomplete/, or still in receivingName when it
// cannot be moved there. Flushed first as far as the disk allows; a tape
// that cannot be flushed is kept all the same.
std::string Library::moveApart(const Tape& tape)
{
    flushFile(receivingName);
    std::string path = keptPath(incompleteFolder, tape.apartName, tape.stamp);
    if (makeFoldersFor(path) && replaceFile(receivingName, path.c_str()))
        return path;
    return receivingName;
}

}  // namespace zek::library
