// Punching programs out of the built binary into an output file: sub-program
// expansion, the macro file it creates at start, the tape codes, the meter.
#include "system_test.h"

namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

// One send of the first file: the tape it punches and a console line it shows.
struct Punch {
    std::vector<std::string> options;
    Files files;
    std::string tape;
    std::string shown = "";  // a regex
    int exitStatus = 0;
    std::string echoed = "";  // on standard output, under the monitor option
};

void expectPunches(const std::vector<Punch>& punches)
{
    std::vector<std::unique_ptr<TempDir>> dirs;
    std::vector<ZekRun> runs;
    for (const Punch& punch : punches) {
        dirs.push_back(std::make_unique<TempDir>());
        for (const auto& [name, bytes] : punch.files)
            dirs.back()->write(name, bytes);
        std::vector<std::string> args = punch.options;
        args.insert(args.end(), {"-c\\out.nc", punch.files[0].first});
        runs.push_back({args, dirs.back()->path()});
    }
    std::vector<ZekResult> results = runZekTogether(runs);
    for (size_t i = 0; i < punches.size(); ++i) {
        SCOPED_TRACE(punches[i].files[0].second.substr(0, 60));
        EXPECT_EQ(results[i].exitStatus, punches[i].exitStatus);
        EXPECT_EQ(dirs[i]->read("out.nc"), punches[i].tape);
        EXPECT_TRUE(matches(results[i].err, punches[i].shown)) << results[i].err;
        EXPECT_TRUE(contains(results[i].out, punches[i].echoed)) << results[i].out;
    }
}

TEST(SenderRun, WorkedExampleExpandsTheMirroredCall)
{
    TempDir dir;
    dir.write("MAIN.NC", "%\nO1000\nG90G54\n(C SUB1,@XM)\nM30\n%\n");
    dir.write("SUB1", "%\nO2000\nG01X10.F200\nM99\n%\n");
    ZekResult run = runZek({"-c\\out.nc", "MAIN.NC"}, dir.path());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(dir.read("out.nc"), isoTape("%\n(MAIN.NC)\nO1000\nG90G54\n( SUB1-001)\nO2000\nG01X-10.F200 \nM30\n%\n"));
    // The console returns to the line start over the progress marks; the log has no marks.
    auto statusLines = [](const std::string& lineStart) {
        return std::vector<std::string>{" FILE  MAIN\\.NC : 34Byte\n",
                                        " START MAIN\\.NC " + timePattern + "\n",
                                        " FILE  SUB1 : 26Byte\n",
                                        " OPEN_ SUB1 " + timePattern + "\n",
                                        lineStart + " CLOSE SUB1 " + timePattern + "\n",
                                        lineStart + " _END_ MAIN\\.NC " + timePattern + "\n"};
    };
    EXPECT_TRUE(appearInOrder(run.err, statusLines("\r"))) << run.err;
    const std::string log = logOf(dir);
    EXPECT_TRUE(appearInOrder(log, statusLines(""))) << log;
    EXPECT_FALSE(contains(log, "\r"));
    EXPECT_EQ(countOf(log, "%"), 1u) << log;  // the end line's: the percent marks stay on the console
    EXPECT_TRUE(contains(dir.read("ZEKMAC.TXT"),
                         "\r\n@XM:X=x-,x--=X,x=X,I=i-,i--=I,i=I,G02=g03,G03=g02,G41=g42,G42=g41,g=G\r\n"));
}

TEST(SenderRun, SubProgramsAreExpandedIntoOneTape)
{
    const std::string longLine = "G01" + std::string(2500, '1') + "\n";
    std::string lineEnds;
    for (int i = 0; i < 1001; ++i)
        lineEnds += " \r\n";
    const Files withComments = {{"MAIN.NC", "%\n(OWN)\n& SUB1\n%\n"}, {"SUB1", "%\n(SUBOWN)\nX1.\n%\n---------\n"}};
    auto example = [](const std::string& name) {
        return readFileBytes(std::string(ZEK_SOURCE_DIR) + "/examples/" + name);
    };
    const std::string pocket = "(POCKET 10X10)\nG00Z2.\nG01Z-2.F100\nG42G01X-5.Y0.F300\nG02X-10.Y5.J5. \n"
                               "G01Y10.\nG40G01X-1. \nG00Z2.\n";
    const std::string sub1 = "( SUB1-001)\nX1.\n";
    const std::string sub2 = "OB2 \n( SUB2)\nY2.\n";
    expectPunches({
        // The examples of the source tree make one tape.
        {{"-a"},
         {{"MAIN.NC", example("MAIN.NC")}, {"POCKET", example("POCKET")}, {"SB2000.NC", example("SB2000.NC")}},
         "%\n(MAIN.NC)\nO1000(EXAMPLE PART)\nG90G54G17\nT1M06\nS3000M03\nG00X20.Y10.Z50.\n(POCKET-001)\n" + pocket +
             "(POCKET-002)\n" + pocket +
             "G00X0.Y0.\nM98P2000\nG00Z50.\nM30\nO2000 \n(SB2000.NC)\n(DRILL 4 HOLES)\nG81G99X-15.Y-15.Z-5.R2.F120\n"
             "X15.\nY15.\nX-15.\nG80\nM99\n%\n"},
        // Call lines are recognised by their marker.
        {{"-a"},
         {{"MAIN.NC", "%\n& SUB1\n&,SUB1\n&SUB1\n&& SUB2\n&C SUB2\n(C SUB1)\n(C,SUB1,2)\n(CC SUB2)\n"
                      "G01X5.(C SUB1)\n(CUT SPEED)\n(C,SUB1,@XM,2)\n%\n"},
          {"SUB1", "%\nX1.\n%\n-----------------\n"},
          {"UB1", "%\nX1.\n%\n-----------------\n"},
          {"SUB2", "%\nY2.\n%\n-----------------\n"}},
         "%\n" + sub1 + sub1 + "(  UB1-001)\nX1.\n" + sub2 + sub2 + sub1 + sub1 + "( SUB1-002)\nX1.\n" + sub2 +
             "G01X5.(C SUB1)\n(CUT SPEED)\n( SUB1-001)\nX-1. \n( SUB1-002)\nX-1. \n%\n"},
        // Repeat counts number the headers.
        {{"-a"},
         {{"MAIN.NC", "%\n(C,SUB1,3)\n(C,SUB1,0)\nM30\n%\n"}, {"SUB1", "%\nG01X1.\n%\n---------------\n"}},
         "%\n( SUB1-001)\nG01X1.\n( SUB1-002)\nG01X1.\n( SUB1-003)\nG01X1.\nM30\n%\n"},
        // An inline sub-program loses its end codes.
        {{"-a"},
         {{"MAIN.NC", "%\n& SUB1\n%\n---------\n"},
          {"SUB1", "%\nM02\nM30\nM99\nM300\nM2\nG68\nG68M05\n(MAIN)M30\nG01X1.\n%\n"}},
         "%\n( SUB1-001)\nM2\nG68M05\n(MAIN)M30\nG01X1.\n%\n"},
        // A block call is a program of its own.
        {{"-a"},
         {{"MAIN.NC", "%\n&& O1234.NC\n%\n"}, {"O1234.NC", "%\nG68\nG01X1.\nM99\n%\n"}},
         "%\nO234 \n(O1234.NC)\nG68\nG01X1.\nM99\n%\n"},
        {{"-a", "-m"},
         {{"MAIN.NC", "%\n&& O1234.NC\n%\n"}, {"O1234.NC", "%\nG01X1.\n(END)M99\nM30\nM99\n%\n"}},
         "%\nL234 \n(O1234.NC)\nG01X1.\n(END)M99\nG68\nG68\n%\n"},
        // Skipping L lines applies after the call filters.
        {{"-a", "-M"},
         {{"LID.NC", "%\nO1\nG01L2\nG01X1.\n& SUB1\n%\n"}, {"SUB1", "%\nL5\nG65L2\nM98L3\nX1.\n%\n"}},
         "O1\nG01X1.\n( SUB1-001)\nG65L2\nM98L3\nX1.\n%\n"},
        // No name comment before a call; short names are padded.
        {{"-a"},
         {{"AB", "%\n& SUB1\n%\n-------------\n"}, {"SUB1", "%\nX1.\n%\n-----------------\n"}},
         "%\n( SUB1-001)\nX1.\n%\n"},
        {{"-a"}, {{"AB", "%\nX2.\n%\n-------------\n"}}, "%\n(   AB)\nX2.\n%\n"},
        // Only the program between the percent lines is sent.
        {{"-a"},
         {{"MAIN.NC", "(BEFORE)\n& SUB1\n%\nX1.;Y2.;\n(A;B_C)\nG_01\n%;END\nAFTER\n"}},
         "%\n(MAIN.NC)\nX1.\nY2.\n\n(A;B_C)\nG 01\n%;END\n"},
        {{"-a"}, {{"MAIN.NC", "%\nX1.\n(A % IN A COMMENT)\nX2.\n%\n"}}, "%\n(MAIN.NC)\nX1.\n(A % IN A COMMENT)\n"},
        // Rules apply to their own level only.
        {{"-a"},
         {{"MAIN.NC", "%\n& SUB1,@XM\n%\n-----\n"},
          {"SUB1", "%\nX1.\n(X2.)\n& SUB2\n%\n"},
          {"SUB2", "%\nX3.\n%\n------------\n"}},
         "%\n( SUB1-001)\nX-1. \n(X2.)\n( SUB2-001)\nX3.\n%\n"},
        // Programs cut short still end the tape.
        {{"-a"},
         {{"MAIN.NC", "%\nX1.\n& SUB1\nG01X2."}, {"SUB1", "%\nG01X1.\nG01Y2.Z3."}},
         "%\n(MAIN.NC)\nX1.\n( SUB1-001)\nG01X1.\nG01Y2.Z3.\nG01X2.\n%\n",
         "\r _END_ MAIN.NC"},
        {{"-a"}, {{"MAIN.NC", "NO PERCENT LINE IN HERE\nX1.\n"}}, ""},
        // A sub-program without a percent line sends only its header.
        {{"-a"},
         {{"MAIN.NC", "%\n& SUB1\nX2.\n%\n--------\n"}, {"SUB1", "G01X1.\nG01Y2.\nG01Z3.\n"}},
         "%\n( SUB1-001)\nX2.\n%\n"},
        // Long lines arrive in pieces, the rules applied to the first.
        {{"-a"},
         {{"MAIN.NC", "%\n" + longLine + "& SUB1,@XM\n%\n"}, {"SUB1", "%\nX" + std::string(1500, '2') + "\n%\n"}},
         "%\n(MAIN.NC)\n" + longLine + "( SUB1-001)\nX-" + std::string(1500, '2') + "\n%\n"},
        // Many line ends fit the block sender.
        {{"-a", "-f"},
         {{"MAIN.NC", "%\n" + std::string(1000, ';') + "\n%\n"}},
         "% \r\n(MAIN.NC) \r\n" + lineEnds + "% \r\n"},
        // The comment modes choose comments and headers.
        {{"-a", "-k0"}, withComments, "%\nX1.\n%\n"},
        {{"-a", "-k1"}, withComments, "%\n(MAIN.NC)\n(OWN)\n( SUB1-001)\n(SUBOWN)\nX1.\n%\n"},
        {{"-a", "-k2"}, withComments, "%\n(OWN)\n(SUBOWN)\nX1.\n%\n"},
        {{"-a", "-k3"}, withComments, "%\n(MAIN.NC)\n( SUB1-001)\nX1.\n%\n"},
        {{"-a", "-k7"}, withComments, "%\n(OWN)\n(SUBOWN)\nX1.\n%\n"},
    });
}

TEST(SenderRun, BadFilesAreRefusedAndFailuresEndTheTapeWithAnErrorTape)
{
    const std::string longName(64, 'N');
    expectPunches({
        {{"-a"},
         {{"MAIN.NC", "%\nX1.\n& SUB9\nX2.\n%\n"}},
         "%\n(MAIN.NC)\nX1.\n(ZEK_ERROR SUB9 IS NOT FOUND!! )\n%\n",
         " NOFILE SUB9 " + timePattern,
         2},
        {{"-a"}, {{"SHORT.NC", "%\nX1.\n%\n-------"}}, "", " NO_SIZE SHORT.NC\n", 2},
        {{"-a"}, {{"HIGH.NC", "%\nX1.\n(\x80)\n%\n------"}}, "", " ASC_ERR HIGH.NC\n", 2},
        {{"-a"}, {{"LATE.NC", "%\nX1.\n---------------(\x80)\n%\n"}}, "%\n(LATE.NC)\nX1.\n---------------(\x80)\n%\n"},
        {{"-a"},
         {{"MAIN.NC", "%\nX1.\n& SUB1,@NOPE\nX2.\n%\n"}},
         "%\n(MAIN.NC)\nX1.\n(ZEK_ERROR MAIN.NC MACRO-ERROR!! )\n%\n",
         "Cant find VELKMAC ENTRY \n",
         2},
        {{"-a"},
         {{"MAIN.NC", "%\nX1.\n& MAIN.NC\nX2.\n%\n"}},
         "%\n(MAIN.NC)\nX1.\n(ZEK_ERROR MAIN.NC ERR-LOOP!!)\n%\n",
         " ERR-LOOPMAIN.NC " + timePattern + "\n",
         2},
        {{"-a"},
         {{"MAIN.NC", "O1000\nG90G54\nM30\n%\n"}},
         "(ZEK_ERROR MAIN.NC ERROR-CLOSE!! )\n%\n",
         " ERR-CLOSE MAIN.NC " + timePattern + "\n",
         2},
        // An over-long called name is not found.
        {{"-a"},
         {{"MAIN.NC", "%\nX1.\n& " + longName + "\n%\n"}, {longName, "%\nX1.\n%\n-----------------\n"}},
         "%\n(MAIN.NC)\nX1.\n(ZEK_ERROR " + longName + " IS NOT FOUND!! )\n%\n",
         "",
         2},
        {{"-a", "-n"}, {{"MAIN.NC", ""}}, "", "FILE MAIN.NC : 0Byte\n"},
    });
    // A missing file, expanded into the longest output file name taken and
    // plain; a call cycle stopped at the nesting limit; an output file name
    // one too long; a macro file that can be neither made nor read.
    const std::string longestOutput(63, 'n');
    TempDir expanded, plain, cycle, tooLong, noMacros;
    cycle.write("A.NC", "%\nXA\n& B.NC\n%\n---------\n");
    cycle.write("B.NC", "%\nXB\n& A.NC\n%\n---------\n");
    noMacros.write("MAIN.NC", "%\nX1.\n& SUB1,2\nX2.\n%\n");
    noMacros.write("SUB1", "%\nY1.\n%\n---------\n");
    std::filesystem::create_symlink("NO/SUCH/ZEKMAC.TXT", noMacros.path() + "/ZEKMAC.TXT");
    std::vector<ZekResult> runs = runZekTogether({{{"-a", "-c\\" + longestOutput, "GONE.NC"}, expanded.path()},
                                                  {{"-a", "-n", "-c\\out.nc", "GONE.NC"}, plain.path()},
                                                  {{"-a", "-c\\out.nc", "A.NC"}, cycle.path()},
                                                  {{"-a", "-c\\" + longestOutput + "x", "GONE.NC"}, tooLong.path()},
                                                  {{"-a", "-c\\out.nc", "MAIN.NC"}, noMacros.path()}});
    EXPECT_EQ(expanded.read(longestOutput), "(ZEK_ERROR GONE.NC IS NOT FOUND!! )\n%\n");
    EXPECT_EQ(plain.read("out.nc"), "(ZEK_ERROR GONE.NC IS NOT FOUND!! )\n%\n");
    EXPECT_TRUE(matches(runs[0].err, " NOFILE GONE.NC " + timePattern)) << runs[0].err;
    EXPECT_TRUE(matches(runs[1].err, "NO_SUB MODE NO FILE GONE.NC " + timePattern + "\n")) << runs[1].err;
    const std::string tape = cycle.read("out.nc");
    EXPECT_TRUE(matches(tape, "\\(ZEK_ERROR B\\.NC ERR-LOOP!!\\)\n%\n$")) << tape;
    EXPECT_EQ(std::count(tape.begin(), tape.end(), 'X'), 1 + 16);
    EXPECT_TRUE(matches(runs[2].err, " ERR-LOOPB.NC " + timePattern + "\n")) << runs[2].err;
    EXPECT_TRUE(contains(runs[3].err, "Write file name too long (max 63) : " + longestOutput + "x\n")) << runs[3].err;
    EXPECT_FALSE(tooLong.exists(longestOutput + "x"));
    // Without its macro file a call text is refused, not sent without rules.
    EXPECT_EQ(noMacros.read("out.nc"), "%\n(MAIN.NC)\nX1.\n(ZEK_ERROR MAIN.NC MACRO-ERROR!! )\n%\n");
    EXPECT_TRUE(appearInOrder(runs[4].err, {"Can Not Open MACFILE !!\n", "Cant read VELKMAC :"})) << runs[4].err;
    EXPECT_EQ(runs[4].exitStatus, 2);
}

// A file that fails to read part way is a failed send: the text read so far
// goes out without a stop code after it, which would pass it off as a whole
// program. A server then waits for the next request.
TEST(SenderRun, AReadThatFailsPartWayEndsTheSendWithoutItsStopCode)
{
    const std::string cut = "%\nY1.\nY2.\nY3.\nY4.\nY5.\n%\n";  // fails after "...Y3.\nY4"
    const std::string failed = "READ ERROR CUT.NC : Input/output error " + timePattern + "\n";
    {
        FailingRead failing("CUT.NC:16");
        TempDir serverDir;
        serverDir.write("CUT.NC", cut);
        PtyPair pty;
        ZekProcess server({"-s", serialChannelOption(pty), "-b0", "CUT.NC"}, serverDir.path());
        expectPunches({
            {{"-a"}, {{"CUT.NC", cut}}, "%\n(CUT.NC)\nY1.\nY2.\nY3.\nY4\n", failed, 2},
            {{"-a", "-n"}, {{"CUT.NC", cut}}, "%\nY1.\nY2.\nY3.\nY4", failed, 2},
            {{"-a"},
             {{"MAIN.NC", "%\nX1.\n& CUT.NC\nX2.\n%\n"}, {"CUT.NC", cut}},
             "%\n(MAIN.NC)\nX1.\n(CUT.NC-001)\nY1.\nY2.\nY3.\nY4\n",
             failed,
             2},
        });
        const std::string waiting = "** PROT(B) SERVER MODE CUT.NC **\n";
        ASSERT_TRUE(server.waitForErr(waiting)) << server.result().err;
        for (size_t turn = 2; turn <= 3; ++turn) {
            writeAll(pty.masterFd(), "\x11");
            EXPECT_EQ(withoutParity(readUntilQuiet(pty.masterFd(), 1000, 10000)), "%\n(CUT.NC)\nY1.\nY2.\nY3.\nY4\n");
            ASSERT_TRUE(server.waitForErr(waiting, 15000, turn)) << server.result().err;
        }
    }
    // The macro file that fails to read brings no error tape either.
    FailingRead failing("ZEKMAC.TXT:100");
    expectPunches({{{"-a"},
                    {{"MAIN.NC", "%\nX1.\n& SUB1,@XM\nX2.\n%\n"}, {"SUB1", "%\nX1.\n%\n--------------\n"}},
                    "%\n(MAIN.NC)\nX1.\n",
                    "READ ERROR ZEKMAC.TXT : Input/output error " + timePattern + "\n",
                    2}});
}

TEST(SenderRun, PlainSendHandsTheFileOnInEachCode)
{
    std::string text(1300, 'x');
    for (size_t i = 50; i < text.size(); i += 51)
        text[i] = '\n';
    const std::string ncLines = "G1\n";
    expectPunches({
        {{"-n", "-a"}, {{"P.NC", text}}, text, "FILE P.NC : 1300Byte\n"},
        // An output file that was there before is replaced wholly.
        {{"-n", "-a"}, {{"P.NC", std::string(512, 'y')}, {"out.nc", std::string(600, 'z')}}, std::string(512, 'y')},
        // CR LF is read as LF, a lone CR stays, Ctrl-Z ends the text.
        {{"-n", "-a"},
         {{"P.NC", "%\r\n& SUB1\r\nX1.;_\r\n%\r\n\x1a"
                   "AFTER\r\n"}},
         "%\n& SUB1\nX1.;_\n%\n"},
        {{"-n", "-a"},
         {{"P.NC", std::string("%\r\nO100\rX1\r\r\nY2\n\r\x82\xA0\xFF\x00Z\n", 24)}},
         std::string("%\nO100\rX1\r\nY2\n\r\x82\xA0\xFF\x00Z\n", 22)},
        // A line feed counts twice in the meter whether or not a CR goes out.
        {{"-n", "-f"}, {{"P.NC", ncLines}}, std::string("\x47\xB1\xA0\x8D\x0A"), "\n133%SEND"},
        {{"-n"}, {{"P.NC", "%\nO1\n"}}, std::string("\xA5\x0A\xCF\xB1\x0A"), "\n140%SEND"},
        {{"-n", "-i"}, {{"P.NC", "N"}}, "N"},
        // The monitor echoes the source in place of the meter.
        {{"-n", "-o", "-e"},
         {{"P.NC", "x1\nG1X2\n"}},
         eiaTape("x1\nG1X2\n"),
         "Byte\nSEND\\(B\\) NO_SUB MODE END",
         0,
         "x1\nG1X2\n"},
        {{"-n", "-e", "-f"}, {{"P.NC", ncLines}}, std::string("\x67\x01\x80")},
        {{"-n", "-a", "-f"}, {{"P.NC", ncLines}}, "G1 \r\n"},
        {{"-n"},
         {{"P.NC", "%\r\nG01 X10.\r\n%\r\n"}},
         isoTape("%\nG01 X10.\n%\n"),
         "SEND\\(B\\) NO_SUB MODE START P\\.NC " + timePattern +
             "\n(.|\n)*SEND\\(B\\) NO_SUB MODE END P\\.NC [0-9]+Byte [0-9]+% " + timePattern + "\n"},
        // Tape feed frames the program: DC2, DC4 and blanks have no EIA code.
        {{"-n", "-t"},
         {{"P.NC", ncLines}},
         "\x12" + std::string(400, '\xA0') + isoTape(ncLines) + std::string(400, '\xA0') + "\x14"},
        {{"-n", "-t", "-e"},
         {{"P.NC", ncLines}},
         std::string(401, '\x10') + eiaTape(ncLines) + std::string(401, '\x10')},
    });
}

TEST(SenderRun, MeterShowsPercentMarksAndAFreshOneForEachFile)
{
    std::string program = "%\n";
    for (int line = 0; line < 100; ++line)
        program += "N" + std::string(line < 10 ? "00" : "0") + std::to_string(line) + " G01X1.\n";
    program += "%\n";
    expectPunches({
        {{"-n", "-a"}, {{"P.NC", program}}, program, "\n46%92%108%SEND\\(B\\) NO_SUB MODE END P\\.NC 1306Byte 108% "},
        {{"-a"},
         {{"P.NC", program + "-----\n"}},
         "%\n( P.NC)\n" + program.substr(2),
         "\n2%\\.{7}10%\\.{8}20%\\.{8}30%\\.{9}40%\\.{8}\n50%\\.{8}60%\\.{9}70%\\.{8}80%\\.{8}90%\\.{9}100%\\.{7}\r _END_ "},
        {{"-a"},
         {{"MAIN.NC", "%\n& SUB1\n%\n---------\n"}, {"SUB1", "%\nX1.\n%\n-------------------\n"}},
         "%\n( SUB1-001)\nX1.\n%\n",
         " START MAIN\\.NC " + timePattern + "\n14% FILE  SUB1 : 28Byte\n OPEN_ SUB1 " + timePattern +
             "\n\n46%64%\r CLOSE SUB1 " + timePattern + "\n28%\r _END_ MAIN\\.NC " + timePattern +
             "\nSEND\\(B\\) SUB MODE END MAIN\\.NC 24Byte 28% "},
    });
}

// A run lingers a second before it ends: each wait must add clearly more,
// and no more than the pauses of the text. Both run side by side.
TEST(SenderRun, CharacterWaitPausesAfterEachByteAndBlockWaitAfterEachLine)
{
    TempDir charWait, blockWait;
    charWait.write("P.NC", std::string(30, 'N') + "\nX1\nX2\nX3\n");
    blockWait.write("P.NC", "%\nX1\nX2\nX3\n%\n-----------\n");
    auto start = std::chrono::steady_clock::now();
    ZekProcess perByte({"-n", "-w30", "-a", "-c\\out.nc", "P.NC"}, charWait.path());
    ZekProcess perLine({"-W250", "-a", "-c\\out.nc", "P.NC"}, blockWait.path());
    ZekProcess* runs[] = {&perByte, &perLine};
    std::chrono::steady_clock::duration took[2] = {};
    while ((took[0].count() == 0 || took[1].count() == 0) &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) {
        for (int i = 0; i < 2; ++i)
            if (took[i].count() == 0 && !runs[i]->running())
                took[i] = std::chrono::steady_clock::now() - start;
        sleepMs(10);
    }
    for (auto time : took) {
        EXPECT_GE(time, std::chrono::milliseconds(1600));
        EXPECT_LT(time, std::chrono::milliseconds(6000));
    }
    EXPECT_TRUE(contains(charWait.read("out.nc"), "X1\nX2\nX3\n"));
    EXPECT_TRUE(contains(blockWait.read("out.nc"), "X1\nX2\nX3\n"));
}

// What the expansion makes of a program without calls: its name after the
// first "%" line, then its body with ";" and "_" translated outside comments.
std::string expectedExpansion(const std::string& name, const std::string& text)
{
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line) && line.find('%') == std::string::npos) {
    }
    std::string result = "%\n(" + name + ")\n";
    while (std::getline(in, line)) {
        if (line.find('%') != std::string::npos)
            return result + line + (in.eof() ? "" : "\n");
        if (line.find('(') == std::string::npos) {
            std::replace(line.begin(), line.end(), ';', '\n');
            std::replace(line.begin(), line.end(), '_', ' ');
        }
        result += line + "\n";
    }
    return result + "%\n";
}

TEST(SenderRun, RealProgramsGoOutAsWritten)
{
    const std::string programs = sharedProgramsDir();
    if (programs.empty())
        GTEST_SKIP() << "the shared NC programs are not available";
    std::vector<Punch> punches;
    for (const auto& entry : std::filesystem::directory_iterator(programs)) {
        const std::string name = entry.path().filename().string();
        const std::string bytes = readFileBytes(entry.path().string());
        const std::string text = textContent(bytes);
        punches.push_back({{"-a", "-n"}, {{name, bytes}}, text});
        punches.push_back({{"-a"}, {{name, bytes}}, expectedExpansion(name, text)});
    }
    expectPunches(punches);
}

}  // namespace
