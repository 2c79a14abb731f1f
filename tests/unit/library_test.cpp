// The program library's rules on real files in a fresh working directory:
// names and comparison.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "library/tape_comparison.h"
#include "library/tape_name.h"

using namespace zek::library;
using namespace std::string_literals;

namespace {

// A tape as the receivers store it: CR LF line ends between start and stop code.
std::string tape(const std::vector<std::string>& lines)
{
    std::string bytes = "%\r\n";
    for (const std::string& line : lines)
        bytes += line + "\r\n";
    return bytes + "%\r\n";
}

class LibraryRules : public testing::Test {
protected:
    LibraryRules() : saved_(std::filesystem::current_path()) { std::filesystem::current_path(dir.path()); }
    ~LibraryRules() override { std::filesystem::current_path(saved_); }

    std::string nameOf(const std::string& bytes)
    {
        dir.write("tape", bytes);
        return programName("tape");
    }

    TempDir dir;

private:
    std::filesystem::path saved_;
};

TEST_F(LibraryRules, NameIsTheProgramNumberOfTheFirstThreeProgramLines)
{
    const std::vector<std::pair<std::string, std::string>> names = {
        {tape({"O1234 (PART A)", "G00"}), "O1234"},
        {tape({"O1234G01"}), "O1234"},
        {tape({"o1234"}), "O1234"},
        {tape({":1234"}), "O1234"},
        {tape({":0100"}), "O0100"},
        {tape({"O12345678"}), "O12345678"},
        {tape({"O123456789"}), ""},
        {tape({"N1", "N2", "N3", "O1234"}), ""},
        {tape({"OX1", "O5"}), "O5"},
        {"O555\r\n\0\0\0\r\n"s + tape({"O1234"}), "O1234"},
        {tape({"\0\0"s, "\x7F\xFF", " \t", "N1", "N2", "O77"}), "O77"},
        {"O42\r\nG00\r\n", "O42"},
        {tape({"G00"}) + "O1234\r\n", ""},
        {"%\r\nO1234%\r\n", "O1234"},
    };
    for (const auto& [bytes, name] : names)
        EXPECT_EQ(nameOf(bytes), name) << bytes;
}

TEST_F(LibraryRules, ComparisonCountsDifferingPositionsFromTheFirst)
{
    struct Case {
        std::string old, changed;
        long count, firstLine;
    };
    const std::vector<Case> cases = {
        {tape({"G01 X1", "M30"}), "\0%\nG01 X1 \t\nM30\r\r\n%\r\n"s, 0, 0},
        {tape({"A", "B"}), "junk\r\n" + tape({"A", "B"}) + "trailer\r\n", 0, 0},
        {tape({"A", "B", "C"}), tape({"A", "X", "C"}), 1, 2},
        {tape({"A", "B"}), tape({"A", "B", "C"}), 1, 3},
        {tape({"A", "B", "C"}), tape({"A", "X", "B", "C"}), 3, 2},
        {tape({"A", ""}), tape({"A"}), 1, 2},
    };
    for (const Case& c : cases) {
        dir.write("old", c.old);
        dir.write("new", c.changed);
        LineDifference difference = compareTapes("old", "new");
        EXPECT_EQ(difference.count, c.count) << c.changed;
        EXPECT_EQ(difference.firstLine, c.firstLine) << c.changed;
    }
}

}  // namespace
