// The program library on whatever a controller may punch: two tapes filed
// one after the other in a scratch library, the second under the first
// one's first line as a controller's name when the flags say so. A name is "" or "O" and 1 to 8
// digits, a tape does not differ from itself, a refused request is never
// handed out, and nothing is made beside the library.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_check.h"
#include "library/library.h"
#include "library/program_request.h"
#include "library/tape_name.h"

using namespace zek::library;
namespace fs = std::filesystem;

namespace {

const char* const libraryFolder = "library";  // in the scratch directory, and the working directory
constexpr char tapeSeparator = '\x1E';
constexpr std::size_t maxGivenName = 40;

bool isProgramNumber(const std::string& name)
{
    return name.size() >= 2 && name.size() <= 9 && name[0] == 'O' &&
           name.find_first_not_of("0123456789", 1) == std::string::npos;
}

void checkParsing(const std::string& path)
{
    std::string name = programName(path);
    fuzzCheck(name.empty() || isProgramNumber(name), "a name is O and 1 to 8 digits");
    fuzzCheck(compareTapes(path, path).count == 0, "a tape does not differ from itself");
}

bool isRefusedRequest(const std::string& path)
{
    Request request = findRequest(path);
    return programName(path) == requestProgram && request.found && !isValidRequestName(request.name);
}

// Files the tape as a receiver hands it over; true when it was a request
// the library must refuse.
bool file(Library& library, const std::string& tape, bool complete, const std::string* givenName)
{
    std::string receiving = library.startTape();
    std::ofstream(receiving, std::ios::binary) << tape;
    checkParsing(receiving);
    bool refused = !givenName && complete && isRefusedRequest(receiving);
    Received received = complete ? Received::Whole : Received::Cut;
    if (givenName)
        library.fileAs(receiving, *givenName, received);
    else
        library.fileTape(receiving, received);
    fuzzCheck(!fs::exists(receiving), "every tape is filed somewhere");
    return refused;
}

void checkRequest(Library& library, bool lastWasRefused)
{
    std::string request = library.takeRequest();
    fuzzCheck(request.empty() || (isValidRequestName(request) && upperCase(request) == request),
              "a request handed out is a valid name in upper case");
    fuzzCheck(request.empty() || !lastWasRefused, "a refused request selects nothing");
    fuzzCheck(library.takeRequest().empty(), "a request is handed out once");
}

void checkNothingBeside()
{
    for (const fs::directory_entry& entry : fs::directory_iterator(".."))
        fuzzCheck(entry.path().filename() == libraryFolder, "nothing is made outside the library");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    enterScratchDirectory();
    fs::create_directory(libraryFolder);
    fs::current_path(libraryFolder);
    std::atexit([] {
        fs::current_path("..");
        fs::remove_all(libraryFolder);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    unsigned flags = data[0];
    std::string tapes(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::size_t cut = std::min(tapes.find(tapeSeparator), tapes.size());
    std::string first = tapes.substr(0, cut);
    std::string second = tapes.substr(std::min(cut + 1, tapes.size()));
    Library library;
    std::string givenName = first.substr(0, std::min(first.find_first_of("\r\n"), maxGivenName));
    givenName = givenName.substr(0, givenName.find('\0'));
    file(library, first, flags & 1, nullptr);
    checkRequest(library, file(library, second, flags & 2, flags & 4 ? &givenName : nullptr));
    checkNothingBeside();
    for (const fs::directory_entry& entry : fs::directory_iterator("."))
        fs::remove_all(entry.path());
    return 0;
}
