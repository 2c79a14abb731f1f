// The macro file as a careless user may leave it: the input is written as
// ZEKMAC.TXT and loaded. Only "@NAME:BODY" lines become entries, at most
// maxMacroEntries of them, with names and bodies inside their limits; and a
// specification that names them yields rules taken from the file.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app/run_settings.h"
#include "fuzz_check.h"
#include "sender/macro_file.h"
#include "sender/macro_table.h"

namespace {

void writeMacroFile(const uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(macroFileName, "wb");
    fuzzCheck(file != nullptr, "ZEKMAC.TXT can be written");
    std::fwrite(data, 1, size, file);
    std::fclose(file);
}

// The names that lines of the file could define: "@" up to the first ":".
std::vector<std::string> candidateNames(const std::string& text)
{
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\n\r", start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::size_t colon = line.find(':');
        if (!line.empty() && line[0] == '@' && colon != std::string::npos)
            names.push_back(line.substr(0, colon));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return names;
}

void checkEntries(const std::vector<std::string>& names, const std::string& text)
{
    std::set<std::string> found;
    for (const std::string& name : names) {
        if (name.find('\0') != std::string::npos)
            continue;
        const char* body = findMacroBody(name.c_str());
        if (!body)
            continue;
        found.insert(name);
        fuzzCheck(name.size() <= static_cast<std::size_t>(maxMacroNameLength), "names keep their limit");
        fuzzCheck(std::strlen(body) <= static_cast<std::size_t>(maxMacroBodyLength), "bodies keep their limit");
        fuzzCheck(std::strcspn(body, " \n") == std::strlen(body), "a body ends at a blank or line end");
        fuzzCheck(text.find(body) != std::string::npos, "a body is text of the file");
        std::string alias = "A" + name.substr(1);
        fuzzCheck(findMacroBody(alias.c_str()) == body, "an A in place of the @ finds the same entry");
    }
    fuzzCheck(found.size() <= static_cast<std::size_t>(maxMacroEntries), "at most maxMacroEntries entries");
}

// Every entry the file names, in one specification, then the count 2.
void checkSpecification(const std::vector<std::string>& names, const std::string& text)
{
    std::string spec;
    for (const std::string& name : names)
        if (name.find_first_of(std::string(" ,\n)\0", 5)) == std::string::npos && findMacroBody(name.c_str()))
            spec += name + ",";
    spec += "2)\n";
    std::vector<char> buffer(spec.begin(), spec.end());
    buffer.push_back('\0');
    RuleList rules;
    int repeatCount = 0;
    if (!loadMacroSpec(buffer.data(), &rules, &repeatCount))
        return;
    fuzzCheck(repeatCount == 2, "the count of the macro specification is taken");
    fuzzCheck(rules.count <= maxRules, "at most maxRules rules");
    for (int i = 0; i < rules.count; ++i) {
        std::string rule = std::string(rules.rules[i].from) + "=" + rules.rules[i].to;
        fuzzCheck(text.find(rule) != std::string::npos, "a rule comes from the file");
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
    runSettings = RunSettings{};
    writeMacroFile(data, size);
    forgetMacroTable();
    fuzzCheck(loadMacroTable(), "a readable macro file loads");
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> names = candidateNames(text);
    checkEntries(names, text);
    checkSpecification(names, text);
    return 0;
}
