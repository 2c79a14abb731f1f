// Protocol B sends into an output file as an operator starts them: which file
// goes, what the console says around it, and what a refused name leaves.

#include "system_test.h"

namespace {

const std::string smallProgram = "%\nO0001\nG01 X10.\nM30\n%\n";

TEST(ProtocolBSend, FileNamesAndTheLinesAroundTheTransfer)
{
    const std::string longest(127, 'L');
    const std::string tooLong(128, 'T');
    TempDir expanding, unnamed, limits, missing;
    expanding.write("PROG.NC", smallProgram);
    expanding.write("OTHER.NC", "%\nO0002\n%\n");
    unnamed.write("ZEKTMP.TXT", smallProgram);
    limits.write(tooLong, smallProgram);
    missing.write(longest, smallProgram);
    std::vector<ZekResult> runs = runZekTogether({{{"-c\\out.nc", "PROG.NC", "OTHER.NC"}, expanding.path()},
                                                  {{"-n", "-c\\out.nc"}, unnamed.path()},
                                                  {{"-n", "-c\\out.nc", tooLong}, limits.path()},
                                                  {{"-n", "-c\\longest.nc", longest}, missing.path()},
                                                  {{"-t", "-n", "-c\\out.nc", "MISSING.NC"}, missing.path()}});
    // Only the first file name counts.
    EXPECT_EQ(runs[0].exitStatus, 0);
    EXPECT_TRUE(
        appearInOrder(runs[0].err, {"\\*\\* PROT\\(B\\) FILE NAME = PROG\\.NC \\*\\*\n",
                                    "SEND\\(B\\) SUB MODE START PROG\\.NC " + timePattern + "\n",
                                    "SEND\\(B\\) SUB MODE END PROG\\.NC [0-9]+Byte [0-9]+% " + timePattern + "\n",
                                    "END OF ZEK " + timePattern}))
        << runs[0].err;
    EXPECT_TRUE(contains(expanding.read("out.nc"), isoTape("G01 X10.\n")));
    EXPECT_FALSE(contains(runs[0].err, "OTHER.NC"));
    EXPECT_FALSE(contains(expanding.read("out.nc"), isoTape("O0002")));
    // Without a name the fixed one goes.
    EXPECT_TRUE(contains(runs[1].err, "** PROT(B) NEED FILE NAME = ZEKTMP.TXT **\n"));
    EXPECT_EQ(unnamed.read("out.nc"), isoTape(smallProgram));
    // The name's length is checked at its limit; a refused name is a failed run.
    EXPECT_EQ(runs[2].exitStatus, 2);
    EXPECT_TRUE(contains(runs[2].err, "** PROT(B) FILE NAME TOO LONG " + tooLong + " **\n"));
    EXPECT_FALSE(contains(runs[2].err, "SEND(B)"));
    EXPECT_TRUE(contains(runs[2].err, "END OF ZEK"));
    EXPECT_EQ(limits.read("out.nc"), "");
    EXPECT_TRUE(contains(logOf(limits), "FILE NAME TOO LONG"));
    EXPECT_EQ(missing.read("longest.nc"), isoTape(smallProgram));
    // Tape feed with a missing file ends after the error tape.
    EXPECT_EQ(runs[4].exitStatus, 2);
    EXPECT_EQ(missing.read("out.nc"),
              "\x12" + std::string(400, '\xA0') + isoTape("(ZEK_ERROR MISSING.NC IS NOT FOUND!! )\n%\n"));
    EXPECT_FALSE(contains(runs[4].err, "MODE END"));
    EXPECT_TRUE(contains(runs[4].err, "END OF ZEK"));
}

}  // namespace
