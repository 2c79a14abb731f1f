// The servers with --library: the test is the controller that punches
// programs, requests and cut tapes into the working directory as a library.
#include <filesystem>

#include "protocol_a_fixture.h"

namespace {

const std::string stamp = "\\.[0-9]{8}-[0-9]{6}";

// What a folder of the library holds, file by file.
std::vector<std::string> filesIn(const TempDir& dir, const std::string& folder)
{
    std::vector<std::string> contents;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file(folder), error))
        contents.push_back(readFileBytes(entry.path().string()));
    std::sort(contents.begin(), contents.end());
    return contents;
}

class LibraryServer : public testing::Test {
protected:
    // One turn of the server: a tape, then the wait for the next.
    void punch(const std::string& text)
    {
        writeAll(pty.masterFd(), isoTape(text));
        ASSERT_TRUE(zek->waitForErr(waiting, 15000, ++turns)) << zek->result().err;
    }
    // DC1: the tape the server answers with.
    std::string ask()
    {
        writeAll(pty.masterFd(), "\x11");
        std::string tape = withoutParity(readUntilQuiet(pty.masterFd(), 1000, 10000));
        EXPECT_TRUE(zek->waitForErr(waiting, 15000, ++turns)) << zek->result().err;
        return tape;
    }
    const std::string waiting = "** PROT(B) SERVER MODE ZEKTMP.TXT **\n";
    TempDir dir;
    PtyPair pty;
    std::unique_ptr<ZekProcess> zek;
    size_t turns = 1;
};

// Each program under its own number, with its history; a request brings a
// program; what was cut off lies apart and replaces nothing.
TEST_F(LibraryServer, StoresEachProgramUnderItsNumberAndAnswersRequests)
{
    dir.write(".zek-receiving", "%\r\nO4444\r\nG1");
    dir.write("MAIN.NC", "%\nO100\n(C SUB1)\nM30\n%\n");
    dir.write("SUB1", "%\nG1X5.\nG1Y5.\n%\n");
    zek = std::make_unique<ZekProcess>(
        std::vector<std::string>{"-s", "--library", "--idle-end=2", serialChannelOption(pty), "-b0"}, dir.path());
    ASSERT_TRUE(zek->waitForErr(waiting)) << zek->result().err;
    punch("%\nO1234 (PART A)\nG1X1.\n%");
    punch("%\n:5678\nG1\n%");
    punch("%\nO1234 (PART A)  \r\nG1X1.\n%");
    const std::string first = dir.read("O1234");
    punch("%\nO1234 (PART A)\nG1X2.\nM30\n%");
    punch("%\nO1234\nG1X9.");
    punch("%\nO9999 (REQ main.nc)\n%");
    EXPECT_TRUE(contains(ask(), "O100\n( SUB1-001)\nG1X5.\nG1Y5.\nM30\n%"));
    punch("%\nO9999 (REQ ../X)\n%");
    EXPECT_TRUE(contains(ask(), "(ZEK_ERROR ZEKTMP.TXT IS NOT FOUND!! )"));
    punch("%\nO9999 (REQ O777)\n%");
    EXPECT_TRUE(contains(ask(), "(ZEK_ERROR O777 IS NOT FOUND!! )"));
    writeAll(pty.masterFd(), isoTape("%\nO8888\nG1"));
    sleepMs(500);
    pty.hangUp();
    EXPECT_TRUE(zek->waitForErr("LIBRARY INCOMPLETE O8888")) << zek->result().err;
    zek->kill();
    EXPECT_TRUE(appearInOrder(
        zek->result().err,
        {"LIBRARY INCOMPLETE O4444 KEPT AS incomplete/O4444" + stamp + "\n", "LIBRARY NEW O1234\n",
         "LIBRARY NEW O5678\n", "LIBRARY SAME O1234\n",
         "LIBRARY CHANGED O1234, 2 LINES DIFFER FROM LINE 2, OLD KEPT AS versions/O1234" + stamp + "\n", "TAPE STOPPED",
         "LIBRARY INCOMPLETE O1234 KEPT AS incomplete/O1234" + stamp + "\n", "LIBRARY REQUEST MAIN.NC\n",
         "SEND\\(B\\) SUB MODE START MAIN.NC ", "LIBRARY REQUEST REFUSED ../X\n",
         "SEND\\(B\\) SUB MODE START ZEKTMP.TXT ", "LIBRARY REQUEST O777\n", "SEND\\(B\\) SUB MODE START O777 ",
         "LINE LOST", "LIBRARY INCOMPLETE O8888 KEPT AS incomplete/O8888" + stamp + "\n"}))
        << zek->result().err;
    EXPECT_EQ(first, "%\r\nO1234 (PART A)\r\nG1X1.\r\n%");
    EXPECT_EQ(dir.read("O1234"), "%\r\nO1234 (PART A)\r\nG1X2.\r\nM30\r\n%");
    EXPECT_EQ(dir.read("O5678"), "%\r\n:5678\r\nG1\r\n%");
    EXPECT_EQ(filesIn(dir, "versions"), std::vector<std::string>{first});
    EXPECT_EQ(filesIn(dir, "incomplete"),
              (std::vector<std::string>{"%\r\nO1234\r\nG1X9.", "%\r\nO4444\r\nG1", "%\r\nO8888\r\nG1"}));
    EXPECT_FALSE(dir.exists(".zek-receiving"));
    EXPECT_FALSE(dir.exists("O9999"));
}

class LibraryProtocolA : public ProtocolAController {
protected:
    // A file sent under name; the record that answers its end.
    std::string offer(const std::string& name, const std::string& text, const std::string& end)
    {
        EXPECT_EQ(ask("RTD", name).raw, wireRecord("GTD"));
        EXPECT_EQ(ask("DAT", isoTape(text)).raw, wireRecord("GTD"));
        return ask(end).letters;
    }
};

// A file the controller sends keeps the one it replaces; one given up lies apart.
TEST_F(LibraryProtocolA, KeepsTheOldFileAndFilesCutOffApart)
{
    startServer({"--library"});
    EXPECT_EQ(offer("O100", "%\nO100\nG1\n%\n", "EOD"), "SET");
    EXPECT_EQ(offer("O100", "%\nO100\nG2\n%\n", "EOD"), "SET");
    EXPECT_EQ(offer("O100", "%\nO100\nG3\n", "SYN"), "RST");
    EXPECT_EQ(ask("RTD", ".zek-receiving").letters, "RST");
    ASSERT_TRUE(zek->waitForErr("LIBRARY INCOMPLETE O100")) << err();
    EXPECT_TRUE(appearInOrder(
        err(), {"LIBRARY NEW O100\n",
                "LIBRARY CHANGED O100, 1 LINES DIFFER FROM LINE 2, OLD KEPT AS versions/O100" + stamp + "\n",
                "LIBRARY INCOMPLETE O100 KEPT AS incomplete/O100" + stamp + "\n", "ILLEGAL FILE NAME .zek-receiving "}))
        << err();
    EXPECT_EQ(dir.read("O100"), "%\r\nO100\r\nG2\r\n%\r\n");
    EXPECT_EQ(filesIn(dir, "versions"), std::vector<std::string>{"%\r\nO100\r\nG1\r\n%\r\n"});
    EXPECT_EQ(filesIn(dir, "incomplete"), std::vector<std::string>{"%\r\nO100\r\nG3\r\n"});
}

}  // namespace
