// Protocol B sends as an operator starts them: into an output file where the
// bytes themselves are the point, over a pseudo-terminal where the flow is.

#include "system_test.h"

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
    EXPECT_TRUE(appearInOrder(run.err, {"\\*\\* PROT\\(B\\) FILE NAME = PROG\\.NC \\*\\*\n",
                                        "SEND\\(B\\) SUB MODE START PROG\\.NC " + timePattern + "\n",
                                        "SEND\\(B\\) SUB MODE END PROG\\.NC [0-9]+Byte [0-9]+% " +
                                            timePattern + "\n",
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

}  // namespace
