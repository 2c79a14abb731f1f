// The program library's rules on real files in a fresh working directory:
// names, comparison, versions, incomplete tapes and requests.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "library/library.h"
#include "library/tape_comparison.h"
#include "library/tape_name.h"

using namespace zek::library;
using namespace std::string_literals;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

const std::string stamp = "20261207-231500";

std::time_t sameSecond()
{
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 7;
    local.tm_hour = 23;
    local.tm_min = 15;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

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

    // Hands the bytes over as a receiver does; the LIBRARY line that follows.
    std::string file(const std::string& bytes, Received received = Received::Whole, const char* name = nullptr)
    {
        CaptureStderr();
        std::string receiving = library.startTape();
        dir.write(receiving, bytes);
        if (name)
            library.fileAs(receiving, name, received);
        else
            library.fileTape(receiving, received);
        EXPECT_FALSE(dir.exists(receiving));
        return GetCapturedStderr();
    }

    std::string nameOf(const std::string& bytes)
    {
        dir.write("tape", bytes);
        return programName("tape");
    }

    TempDir dir;
    Library library{sameSecond};

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

TEST_F(LibraryRules, ChangedProgramsKeepEachOldVersion)
{
    const std::string first = tape({"O1234", "G00 X1", "M30"});
    EXPECT_EQ(file(first), "LIBRARY NEW O1234\n");
    EXPECT_EQ(file("\0\0%\nO1234 \nG00 X1\t\nM30\n%\n"s), "LIBRARY SAME O1234\n");
    EXPECT_EQ(dir.read("O1234"), first);
    EXPECT_FALSE(dir.exists("versions"));

    const std::string second = tape({"O1234", "G00 X2", "M30", "M02"});
    const std::string changed = "LIBRARY CHANGED O1234, ";
    EXPECT_EQ(file(second), changed + "2 LINES DIFFER FROM LINE 2, OLD KEPT AS versions/O1234." + stamp + "\n");
    EXPECT_EQ(file(tape({"O1234"})),
              changed + "3 LINES DIFFER FROM LINE 2, OLD KEPT AS versions/O1234." + stamp + "-2\n");
    EXPECT_EQ(dir.read("versions/O1234." + stamp), first);
    EXPECT_EQ(dir.read("versions/O1234." + stamp + "-2"), second);
    EXPECT_EQ(dir.read("O1234"), tape({"O1234"}));
}

TEST_F(LibraryRules, IncompleteAndUnnamedTapesAreKeptUnderStampedNames)
{
    EXPECT_EQ(file(tape({"O1234"})), "LIBRARY NEW O1234\n");
    EXPECT_EQ(file("%\r\nO1234\r\nG0", Received::Cut),
              "LIBRARY INCOMPLETE O1234 KEPT AS incomplete/O1234." + stamp + "\n");
    EXPECT_EQ(dir.read("O1234"), tape({"O1234"}));
    EXPECT_EQ(file("%\r\nG0", Received::Cut), "LIBRARY INCOMPLETE NONAME KEPT AS incomplete/NONAME." + stamp + "\n");
    EXPECT_EQ(file(tape({"G1"})), "LIBRARY NEW NONAME-" + stamp + "\n");
    EXPECT_EQ(file(tape({"G2"})), "LIBRARY NEW NONAME-" + stamp + "-2\n");

    dir.write(receivingName, "%\r\nO1234\r\n");
    CaptureStderr();
    library.fileLeftovers();
    library.fileLeftovers();
    EXPECT_EQ(GetCapturedStderr(), "LIBRARY INCOMPLETE O1234 KEPT AS incomplete/O1234." + stamp + "-2\n");
    EXPECT_EQ(dir.read("incomplete/O1234." + stamp + "-2"), "%\r\nO1234\r\n");
}

TEST_F(LibraryRules, RequestSelectsAProgramOnceAndARefusedOneNothing)
{
    struct Case {
        std::string name, line, selected;
    };
    const std::string refused = "LIBRARY REQUEST REFUSED ";
    const std::vector<Case> cases = {
        {"O1234", "LIBRARY REQUEST O1234\n", "O1234"},
        {" prog_a-1.nc ", "LIBRARY REQUEST PROG_A-1.NC\n", "PROG_A-1.NC"},
        {"../X", refused + "../X\n", ""},
        {"SUB/X", refused + "SUB/X\n", ""},
        {"SUB\\X", refused + "SUB\\X\n", ""},
        {"C:X", refused + "C:X\n", ""},
        {"A..B", refused + "A..B\n", ""},
        {".zek-receiving", refused + ".zek-receiving\n", ""},
        {std::string(33, 'A'), refused + std::string(33, 'A') + "\n", ""},
        {"", refused + "\n", ""},
    };
    for (const Case& c : cases) {
        file(tape({"O9999", "(REQ O1)"}));
        EXPECT_EQ(file(tape({":9999", "G00 (Req " + c.name + ")"})), c.line);
        EXPECT_EQ(library.takeRequest(), c.selected) << c.name;
        EXPECT_EQ(library.takeRequest(), "");
    }
    EXPECT_FALSE(dir.exists("O9999"));
    EXPECT_EQ(file(tape({"O9999", "(REQ O1)"}), Received::Cut),
              "LIBRARY INCOMPLETE O9999 KEPT AS incomplete/O9999." + stamp + "\n");
    EXPECT_EQ(file(tape({"O9999", "(REQUEST O1)"})), "LIBRARY NEW O9999\n");
    EXPECT_EQ(library.takeRequest(), "");
}

TEST_F(LibraryRules, ControllerNamesStayInsideTheLibrary)
{
    const std::string kept = " KEPT AS incomplete/NONAME." + stamp + "\n";
    const std::vector<std::pair<const char*, std::string>> names = {
        {"PROG.NC", "LIBRARY NEW PROG.NC\n"},
        {"../X", "LIBRARY NOT STORED ../X" + kept},
        {".zek-receiving", "LIBRARY NOT STORED .zek-receiving" + kept},
        {"Versions. /O1.X", "LIBRARY NOT STORED Versions. /O1.X" + kept},
        {"incomplete\\X", "LIBRARY NOT STORED incomplete\\X" + kept},
        {"NODIR/O1", "LIBRARY NOT STORED NODIR/O1 KEPT AS incomplete/NODIR/O1." + stamp + "\n"},
    };
    for (const auto& [name, line] : names) {
        EXPECT_EQ(file(tape({"O9999", "(REQ O1)"}), Received::Whole, name), line);
        std::filesystem::remove_all("incomplete");
    }
    EXPECT_EQ(library.takeRequest(), "");
}

// A tape that cannot take the program's place (here a folder, which no
// rename puts over a file) is kept apart, and the old program stays whole.
TEST_F(LibraryRules, TapeThatCannotBeStoredLeavesTheOldProgramInPlace)
{
    file(tape({"O1"}), Received::Whole, "O1234");
    std::filesystem::create_directories(receivingName + "/x"s);
    CaptureStderr();
    library.fileAs(receivingName, "O1234", Received::Whole);
    EXPECT_EQ(GetCapturedStderr(), "LIBRARY NOT STORED O1234 KEPT AS incomplete/O1234." + stamp + "\n");
    EXPECT_EQ(dir.read("O1234"), tape({"O1"}));
}

}  // namespace
