// Punching programs out of the built binary into an output file, with the
// macro file it creates at start.
#include <gtest/gtest.h>

#include "protocol_b_tape.h"

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
        return std::vector<std::string>{" FILE  MAIN\\.NC : 34Byte\n", " START MAIN\\.NC " + timePattern + "\n",
                                        " FILE  SUB1 : 26Byte\n", " OPEN_ SUB1 " + timePattern + "\n",
                                        lineStart + " CLOSE SUB1 " + timePattern + "\n",
                                        lineStart + " _END_ MAIN\\.NC " + timePattern + "\n"};
    };
    EXPECT_TRUE(appearInOrder(run.err, statusLines("\r"))) << run.err;
    const std::string log = dir.readLog();
    EXPECT_TRUE(appearInOrder(log, statusLines(""))) << log;
    EXPECT_FALSE(contains(log, "\r"));
    EXPECT_TRUE(contains(dir.read("ZEKMAC.TXT"),
                         "\r\n@XM:X=x-,x--=X,x=X,I=i-,i--=I,i=I,G02=g03,G03=g02,G41=g42,G42=g41,g=G\r\n"));
}

TEST(SenderRun, ExamplesPunchOutAsOneTape)
{
    TempDir dir;
    for (const char* name : {"MAIN.NC", "POCKET", "SB2000.NC"})
        dir.write(name, readFileBytes(std::string(ZEK_SOURCE_DIR) + "/examples/" + name));
    ZekResult run = runZek({"-c\\out.nc", "-a", "MAIN.NC"}, dir.path());
    EXPECT_EQ(run.exitStatus, 0);
    const std::string pocket = "(POCKET 10X10)\nG00Z2.\nG01Z-2.F100\nG42G01X-5.Y0.F300\nG02X-10.Y5.J5. \n"
                               "G01Y10.\nG40G01X-1. \nG00Z2.\n";
    EXPECT_EQ(dir.read("out.nc"), "%\n(MAIN.NC)\nO1000(EXAMPLE PART)\nG90G54G17\nT1M06\nS3000M03\n"
                                  "G00X20.Y10.Z50.\n(POCKET-001)\n" + pocket + "(POCKET-002)\n" + pocket +
                                  "G00X0.Y0.\nM98P2000\nG00Z50.\nM30\n"
                                  "O2000 \n(SB2000.NC)\n(DRILL 4 HOLES)\nG81G99X-15.Y-15.Z-5.R2.F120\n"
                                  "X15.\nY15.\nX-15.\nG80\nM99\n%\n");
}
