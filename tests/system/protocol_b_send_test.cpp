// Protocol B sends as an operator starts them: into an output file where the
// bytes themselves are the point, over a pseudo-terminal where the flow is.

#include <gtest/gtest.h>

#include "support/controller.h"
#include "support/zek_process.h"
#include "tape_text.h"

namespace {

const std::string smallProgram = "%\nO0001\nG01 X10.\nM30\n%\n";
const std::string leaderIso = "\x12" + std::string(400, '\xA0');

TEST(ProtocolBSend, ExpandingSendReportsStartAndEndAroundTheTransfer)
{
    TempDir dir;
    dir.write("PROG.NC", smallProgram);
    dir.write("OTHER.NC", "%\nO0002\n%\n");
    ZekResult run = runZek({"-c\\out.nc", "PROG.NC", "OTHER.NC"}, dir.path());

    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_TRUE(appearInOrder(
        run.err, {"\\*\\* PROT\\(B\\) FILE NAME = PROG\\.NC \\*\\*\n",
                  "SEND\\(B\\) SUB MODE START PROG\\.NC " + timePattern + "\n",
                  "SEND\\(B\\) SUB MODE END PROG\\.NC [0-9]+Byte [0-9]+% " + timePattern + "\n",
                  "END OF ZEK " + timePattern}))
        << run.err;
    EXPECT_NE(dir.read("out.nc").find(isoTape("G01 X10.\n")), std::string::npos);
    // Only the first file name counts.
    EXPECT_EQ(run.err.find("OTHER.NC"), std::string::npos);
    EXPECT_EQ(dir.read("out.nc").find(isoTape("O0002")), std::string::npos);
}

TEST(ProtocolBSend, WithoutFileNameSendsTheFixedName)
{
    TempDir dir;
    dir.write("ZEKTMP.TXT", smallProgram);
    ZekResult run = runZek({"-n", "-c\\out.nc"}, dir.path());

    EXPECT_NE(run.err.find("** PROT(B) NEED FILE NAME = ZEKTMP.TXT **\n"), std::string::npos);
    EXPECT_EQ(dir.read("out.nc"), isoTape(smallProgram));
}

TEST(ProtocolBSend, FileNameLengthIsCheckedAtItsLimit)
{
    TempDir dir;
    const std::string longest(127, 'L');
    const std::string tooLong(128, 'T');
    dir.write(longest, smallProgram);
    dir.write(tooLong, smallProgram);

    ZekResult accepted = runZek({"-n", "-c\\out.nc", longest}, dir.path());
    EXPECT_EQ(dir.read("out.nc"), isoTape(smallProgram));
    EXPECT_NE(accepted.err.find("FILE NAME = " + longest + " **"), std::string::npos);

    ZekResult refused = runZek({"-n", "-c\\out.nc", tooLong}, dir.path());
    EXPECT_EQ(refused.exitStatus, 0);
    EXPECT_NE(refused.err.find("** PROT(B) FILE NAME TOO LONG " + tooLong + " **\n"),
              std::string::npos);
    EXPECT_EQ(refused.err.find("SEND(B)"), std::string::npos);
    EXPECT_NE(refused.err.find("END OF ZEK"), std::string::npos);
    EXPECT_EQ(dir.read("out.nc"), "");
    EXPECT_NE(logOf(dir).find("FILE NAME TOO LONG"), std::string::npos);
}

TEST(ProtocolBSend, TapeFeedWithMissingFileEndsAfterTheErrorTape)
{
    TempDir dir;
    ZekResult run = runZek({"-t", "-n", "-c\\out.nc", "MISSING.NC"}, dir.path());

    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(dir.read("out.nc"),
              leaderIso + isoTape("(ZEK_ERROR MISSING.NC IS NOT FOUND!! )\n%\n"));
    EXPECT_EQ(run.err.find("MODE END"), std::string::npos);
    EXPECT_NE(run.err.find("END OF ZEK"), std::string::npos);
}

TEST(ProtocolBSend, SoftFlowHoldsForTheFirstDc1AndFollowsDc3)
{
    std::string programs = sharedProgramsDir();
    if (programs.empty())
        GTEST_SKIP() << "the shared NC programs are not available";
    // Larger than what the pseudo-terminal holds, so that every hold comes mid-tape.
    const std::string program = readFileBytes(programs + "/HELIX.NC");
    const std::string expected = isoTape(textContent(program));
    TempDir dir;
    dir.write("HELIX.NC", program);
    PtyPair pty;
    const int controller = pty.masterFd();
    ZekProcess zek({serialChannelOption(pty), "-d", "-n", "HELIX.NC"}, dir.path());
    ASSERT_TRUE(zek.waitForErr("NO_SUB MODE START", 10000)) << zek.result().err;
    EXPECT_EQ(readUntilQuiet(controller, 500, 500), "") << "sent before the controller's DC1";

    std::string received;
    int holds = 0;
    writeAll(controller, "\x11");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (received.size() < expected.size() && std::chrono::steady_clock::now() < deadline) {
        received += readBytes(controller, 1000, 1000);
        if (received.size() >= size_t(holds + 1) * 6000 && holds < 3) {
            writeAll(controller, "\x13");
            received += readUntilQuiet(controller, 300, 5000);
            EXPECT_EQ(readUntilQuiet(controller, 400, 400), "") << "sent while held by DC3";
            writeAll(controller, "\x11");
            ++holds;
        }
    }
    EXPECT_EQ(holds, 3);
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected) << "the punched tape differs from the program";
    EXPECT_TRUE(zek.wait(15000));
    EXPECT_NE(zek.result().err.find("SEND(B) NO_SUB MODE END HELIX.NC"), std::string::npos);
}

}  // namespace
