// The macro file as a careless user may leave it: the input is written as
// ZEKMAC.TXT and read. Only "@NAME:BODY" lines become entries, at most
// maxMacroEntries of them, with names and bodies inside their limits.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "sender/macro_table.h"

using namespace zek::sender;

namespace {

// The names that lines of the file could define: "@" up to the first ":".
std::vector<std::string> candidateNames(const std::string& text)
{
    std::vector<std::string> names;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        line = line.substr(0, line.find('\r'));
        std::size_t colon = line.find(':');
        if (!line.empty() && line[0] == '@' && colon != std::string::npos && line.find('\0') > colon)
            names.push_back(line.substr(0, colon));
    }
    return names;
}

// Each entry found keeps its limits.
void checkEntries(const MacroTable& table, const std::vector<std::string>& names, const std::string& text)
{
    fuzzCheck(table.count >= 0 && table.count <= maxMacroEntries, "at most maxMacroEntries entries");
    for (const std::string& name : names) {
        const char* body = findMacroBody(table, name.c_str());
        if (!body)
            continue;
        fuzzCheck(name.size() <= std::size_t(maxMacroNameLength), "names keep their limit");
        fuzzCheck(std::strlen(body) <= std::size_t(maxMacroBodyLength), "bodies keep their limit");
        fuzzCheck(std::strcspn(body, " \n") == std::strlen(body), "a body ends at a blank or line end");
        fuzzCheck(text.find(body) != std::string::npos, "a body is text of the file");
        fuzzCheck(findMacroBody(table, ("A" + name.substr(1)).c_str()) == body,
                  "an A in place of the @ finds the entry");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    enterScratchDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(macroFileName, "wb");
    fuzzCheck(file != nullptr, "ZEKMAC.TXT can be written");
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    MacroTable table;
    std::string reason;
    fuzzCheck(readMacroTable(table, &reason) == MacroFileRead::Read, "a readable macro file is read");
    std::string text(reinterpret_cast<const char*>(data), size);
    checkEntries(table, candidateNames(text), text);
    return 0;
}
