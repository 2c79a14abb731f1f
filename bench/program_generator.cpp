#include "program_generator.h"

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>

namespace {

constexpr int linesBetweenCalls = 250;
constexpr int linesBetweenComments = 1000;
constexpr int linesBetweenToolChanges = 20000;
constexpr long toolCount = 20;
constexpr int openingLines = 4;
constexpr int closingLines = 2;
constexpr std::size_t writeBufferSize = 1 << 20;

// A fixed-seed generator, so every run of the bench punches the same program.
struct Coordinates {
    uint32_t state = 12345u;
};

double nextCoordinate(Coordinates& random)
{
    random.state = random.state * 1103515245u + 12345u;
    long thousandths = long((random.state >> 8) % 1000000u) - 500000;
    return double(thousandths) / 1000.0;
}

int nextFeed(Coordinates& random)
{
    random.state = random.state * 1103515245u + 12345u;
    return 100 + int((random.state >> 12) % 20u) * 25;
}

struct SubProgram {
    const char* name;
    const char* text;
};

// Each body is the part between its "%" lines; the callers' macros mirror,
// rotate and strip these words.
const SubProgram subPrograms[] = {
    {"POCKET", "%\nO2001\n(POCKET ROUGHING)\nG00X0.Y0.\nG01Z-2.F100.\nG01X20.Y0.F300.\nG01X20.Y10.\n"
               "G01X0.Y10.\nG01X0.Y0.\nG01X2.5Y2.5\nG01X17.5Y2.5\nG01X17.5Y7.5\nG01X2.5Y7.5\n"
               "G02X0.Y5.I-2.5J0.F150.\nG03X5.Y0.I5.J0.\nG41X3.Y3.D21\nG01X15.Y3.\nG40X0.Y0.\n"
               "G00Z5.\nM99\n%\n"},
    {"SUB1", "%\nO2002\nG00X5.Y5.\nG01Z-1.5F120.\nG01X25.Y5.F250.\nG02X30.Y10.I0.J5.\n"
             "G01X30.Y25.\nG03X25.Y30.I-5.J0.\nG01X5.Y30.\nG00Z5.\nM99\n%\n"},
    {"DRILL", "%\nO3001\n(DRILL PATTERN)\nG81X10.Y10.Z-12.R2.F80.\nX20.Y10.\nX30.Y10.\nX10.Y20.\n"
              "X20.Y20.\nX30.Y20.\nG80\nM99\n%\n"},
    {"CONTOUR", "%\nO3002\nG00X-5.Y-5.\nG01Z-3.F100.\nG42X0.Y0.D22F200.\nG01X40.Y0.\nG02X50.Y10.I10.J0.\n"
                "G01X50.Y30.\nG03X40.Y40.I-10.J0.\nG01X0.Y40.\nG01X0.Y0.\nG40X-5.Y-5.\nG00Z5.\nM99\n%\n"},
};

struct CallLine {
    const char* text;
    int subProgram;  // index into subPrograms
    int repeats;
};

// Inline and block calls, as comment calls and as "&" lines, with macros and counts.
const CallLine callLines[] = {
    {"(C,POCKET,@XM,2)\n", 0, 2}, {"& SUB1\n", 1, 1},   {"(CC DRILL)\n", 2, 1},           {"(C,CONTOUR,@TC90)\n", 3, 1},
    {"&,SUB1,@FDEL\n", 1, 1},     {"&& DRILL\n", 2, 1}, {"(C,POCKET,@YM,@F100)\n", 0, 1},
};

bool writeSubPrograms(const std::string& dir)
{
    for (const SubProgram& sub : subPrograms) {
        std::FILE* file = std::fopen((dir + "/" + sub.name).c_str(), "wb");
        if (!file)
            return false;
        bool written = std::fputs(sub.text, file) >= 0;
        if (std::fclose(file) != 0 || !written)
            return false;
    }
    return true;
}

// One G-code line of the main program; the sequence number keeps lines unique.
int writeMotionLine(std::FILE* file, long line, Coordinates& random)
{
    long sequence = line * 10;
    double x = nextCoordinate(random), y = nextCoordinate(random);
    switch (line % 5) {
    case 0:
        return std::fprintf(file, "N%ld G01X%.3fY%.3fZ%.3fF%d.\n", sequence, x, y, nextCoordinate(random) / 10.0,
                            nextFeed(random));
    case 1:
        return std::fprintf(file, "N%ld G02X%.3fY%.3fI%.3fJ%.3fF%d.\n", sequence, x, y, nextCoordinate(random) / 20.0,
                            nextCoordinate(random) / 20.0, nextFeed(random));
    case 2:
        return std::fprintf(file, "N%ld G01X%.3fY%.3f\n", sequence, x, y);
    case 3:
        return std::fprintf(file, "N%ld G00X%.3fY%.3fZ5.\n", sequence, x, y);
    default:
        return std::fprintf(file, "N%ld G03X%.3fY%.3fR%.3fF%d.\n", sequence, x, y, nextCoordinate(random) / 10.0,
                            nextFeed(random));
    }
}

long subProgramBytes(int index)
{
    return long(std::string(subPrograms[index].text).size());
}

// Lines that are not motion: calls, comments, tool changes. Returns the bytes
// they add to the tape, counting the called sub-programs.
long writeOccasionalLine(std::FILE* file, long line, GeneratedProgram& program)
{
    if (line % linesBetweenToolChanges == 0) {
        long tool = (line / linesBetweenToolChanges) % toolCount + 1;
        program.mainLines += 2;
        return std::fprintf(file, "T%02ld M06\nS1200M03\n", tool);
    }
    if (line % linesBetweenComments == 0) {
        ++program.mainLines;
        return std::fprintf(file, "(OPERATION %ld FINISH CONTOUR)\n", line / linesBetweenComments);
    }
    if (line % linesBetweenCalls == 0) {
        const CallLine& call = callLines[(line / linesBetweenCalls) % std::size(callLines)];
        std::fputs(call.text, file);
        ++program.callLines;
        ++program.mainLines;
        return subProgramBytes(call.subProgram) * call.repeats;
    }
    return 0;
}

}  // namespace

GeneratedProgram generateProgram(const std::string& dir, long targetBytes)
{
    GeneratedProgram program;
    if (!writeSubPrograms(dir))
        return program;
    std::string path = dir + "/MAIN.NC";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return program;
    std::setvbuf(file, nullptr, _IOFBF, writeBufferSize);
    long tape = std::fprintf(file, "%%\nO1000\n(BENCH PROGRAM)\nG90G54G17\n");
    Coordinates random;
    for (long line = 1; tape < targetBytes; ++line) {
        tape += writeOccasionalLine(file, line, program);
        tape += writeMotionLine(file, line, random);
        ++program.mainLines;
    }
    std::fprintf(file, "M30\n%%\n");
    program.mainLines += openingLines + closingLines;
    bool written = !std::ferror(file);
    if (std::fclose(file) != 0 || !written)
        return program;
    program.mainPath = path;
    std::FILE* sized = std::fopen(path.c_str(), "rb");
    if (sized) {
        std::fseek(sized, 0, SEEK_END);
        program.mainBytes = std::ftell(sized);
        std::fclose(sized);
    }
    return program;
}
