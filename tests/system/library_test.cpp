// The servers with --library: the test is the controller that punches
// programs, requests and cut tapes into the working directory as a library.
#include <sys/mount.h>

#include <filesystem>
#include <fstream>

#include "protocol_a_fixture.h"

namespace {

const std::string stamp = "\\.[0-9]{8}-[0-9]{6}";

// A small file system of its own over a directory, for the test's time, to
// be filled at will; mounting a tmpfs takes root's rights on Linux.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& path) : path_(path)
    {
        mounted_ = mount("tmpfs", path.c_str(), "tmpfs", 0, "size=256k,nr_inodes=64") == 0;
    }
    ~SmallDisk()
    {
        if (mounted_)
            umount2(path_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    // Fills it up to room bytes (a multiple of the 4096 of a page).
    void leave(std::uintmax_t room)
    {
        std::ofstream(filler(0)) << std::string(std::filesystem::space(path_).available - room, 'F');
    }
    // Takes the last of its files too: no file can be made.
    void takeEveryFile()
    {
        for (int n = 1; std::ofstream(filler(n)); ++n) {
        }
    }
    void empty()
    {
        for (int n = 0; std::filesystem::remove(filler(n)); ++n) {
        }
    }

private:
    std::string filler(int n) const { return path_ + "/FILLER" + std::to_string(n); }
    std::string path_;
    bool mounted_ = false;
};

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

// The receiving files left in the library.
size_t receivingFilesIn(const TempDir& dir)
{
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        count += entry.path().filename().string().rfind(".zek-receiving", 0) == 0;
    return count;
}

class LibraryServer : public testing::Test {
protected:
    // The server on the library, waiting for the first tape.
    void startServer(int idleEndSeconds)
    {
        zek = std::make_unique<ZekProcess>(std::vector<std::string>{"-s", "--library",
                                                                    "--idle-end=" + std::to_string(idleEndSeconds),
                                                                    serialChannelOption(pty), "-b0"},
                                           dir.path());
        EXPECT_TRUE(zek->waitForErr(waiting)) << zek->result().err;
    }
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
    startServer(2);
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

// While the library cannot take tapes (a plain file stands where incomplete/
// would go, as a full or read-only disk would refuse it), each tape stays
// whole in a receiving file of its own and DC1 is still answered; once the
// library can take them again they are filed before the next tape.
TEST_F(LibraryServer, TapesThatCannotBeFiledStayEachInAFileOfItsOwn)
{
    dir.write("incomplete", "");
    dir.write("ZEKTMP.TXT", "%\nO1\nG1X1.Y1.Z1.\n%\n");
    startServer(1);
    punch("%\nO5555\nG1");
    punch("%\nO6666\nG2");
    punch("%\nO7777\nG3\n%");
    EXPECT_EQ(dir.read(".zek-receiving"), "%\r\nO5555\r\nG1");
    EXPECT_EQ(dir.read(".zek-receiving-2"), "%\r\nO6666\r\nG2");
    EXPECT_EQ(dir.read("O7777"), "%\r\nO7777\r\nG3\r\n%");
    EXPECT_TRUE(contains(ask(), "O1\nG1X1.Y1.Z1.\n%"));
    std::filesystem::remove(dir.file("incomplete"));
    punch("%\nO8888\n%");
    zek->kill();
    const std::string& err = zek->result().err;
    EXPECT_TRUE(
        appearInOrder(err, {"LIBRARY NOT STORED O5555 KEPT AS \\.zek-receiving\n",
                            "LIBRARY NOT STORED O6666 KEPT AS \\.zek-receiving-2\n", "LIBRARY NEW O7777\n",
                            "SEND\\(B\\) SUB MODE END ZEKTMP.TXT ",
                            "LIBRARY INCOMPLETE O5555 KEPT AS incomplete/O5555" + stamp + "\n",
                            "LIBRARY INCOMPLETE O6666 KEPT AS incomplete/O6666" + stamp + "\n", "LIBRARY NEW O8888\n"}))
        << err;
    EXPECT_EQ(countOf(err, "LIBRARY NOT STORED"), 2u) << err;
    EXPECT_EQ(filesIn(dir, "incomplete"), (std::vector<std::string>{"%\r\nO5555\r\nG1", "%\r\nO6666\r\nG2"}));
    EXPECT_FALSE(dir.exists(".zek-receiving") || dir.exists(".zek-receiving-2") || dir.exists(".zek-receiving-3"));
}

// systemctl stop in the middle of a tape: what came is filed apart at once,
// with its LIBRARY line, and no receiving file is left for the next start.
TEST_F(LibraryServer, AStopInTheMiddleOfATapeFilesWhatCame)
{
    startServer(60);
    writeAll(pty.masterFd(), isoTape("%\nO4321\nG1X1."));
    ASSERT_TRUE(zek->waitForErr("RECV(B) START")) << zek->result().err;
    sleepMs(300);
    zek->sendSignal(serviceStopSignal());
    ASSERT_TRUE(zek->wait(5000));
    EXPECT_TRUE(runningWindowsBuild() || zek->result().exitStatus == 128 + SIGTERM) << zek->result().exitStatus;
    const std::string& err = zek->result().err;
    EXPECT_TRUE(appearInOrder(err, {"RECV\\(B\\) END ", "LIBRARY INCOMPLETE O4321 KEPT AS incomplete/O4321" + stamp}))
        << err;
    EXPECT_TRUE(contains(err, stoppedLine(serviceStopSignal()) + " ")) << err;
    EXPECT_EQ(filesIn(dir, "incomplete"), std::vector<std::string>{"%\r\nO4321\r\nG1X1."});
    EXPECT_EQ(receivingFilesIn(dir), 0u);
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
    // Stopped in the middle of a file: it ends with its END line and is filed apart.
    EXPECT_EQ(ask("RTD", "O200").raw, wireRecord("GTD"));
    EXPECT_EQ(ask("DAT", isoTape("%\nO200\n")).raw, wireRecord("GTD"));
    zek->sendSignal(serviceStopSignal());
    ASSERT_TRUE(zek->wait(5000));
    EXPECT_TRUE(
        appearInOrder(err(), {"RECV\\(A\\) END O200 7Byte ", "LIBRARY INCOMPLETE O200 KEPT AS incomplete/O200"}))
        << err();
    EXPECT_EQ(receivingFilesIn(dir), 0u);
}

// A full disk leaves the stored programs as they are; a tape keeps apart
// what reached the disk, the next does not write over it, and each is
// reported as not stored. Every receive that meets it fails.
TEST_F(LibraryProtocolA, AFullDiskLeavesTheProgramsAndFailsEachReceive)
{
    SmallDisk disk(dir.path());
    if (!disk.mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here (that takes root): the full disk is not tried";
    const std::string program = "%\r\nO100\r\nG1\r\n%\r\n";
    dir.write("O100", program);
    std::string tape = "%\nO100\n";
    while (tape.size() < 20000)
        tape += "G1X1.Y1.Z1.\n";
    tape += "%";
    PtyPair pty;
    auto server = std::make_unique<ZekProcess>(
        std::vector<std::string>{"-s", "--library", serialChannelOption(pty), "-b0"}, dir.path());
    const std::string waiting = "** PROT(B) SERVER MODE ZEKTMP.TXT **\n";
    ASSERT_TRUE(server->waitForErr(waiting)) << server->result().err;
    disk.leave(8192);
    writeAll(pty.masterFd(), isoTape(tape.substr(0, 15000)));
    ASSERT_TRUE(server->waitForErr("file write2 error")) << server->result().err;
    for (size_t at = 15000; at < tape.size(); at += 500) {  // at a reader's pace: the rest comes after a pause
        sleepMs(200);
        writeAll(pty.masterFd(), isoTape(tape.substr(at, 500)));
    }
    ASSERT_TRUE(server->waitForErr(waiting, 15000, 2)) << server->result().err;
    writeAll(pty.masterFd(), isoTape("%\nO200\nG1\n%"));
    ASSERT_TRUE(server->waitForErr(waiting, 15000, 3)) << server->result().err;
    PtyPair line;
    ZekProcess receive({"-r", serialChannelOption(line), "-b0", "IN.NC"}, dir.path());
    ASSERT_TRUE(receive.waitForErr("RECV(B) START")) << receive.result().err;
    writeAll(line.masterFd(), isoTape("%\nO1\n%"));
    ASSERT_TRUE(receive.wait(15000));
    EXPECT_EQ(receive.result().exitStatus, 2);
    for (const char* mode : {"-R", "-RF"}) {
        startClient({mode, "IN.NC"});
        ASSERT_TRUE(answerHandshake(peer));
        EXPECT_EQ(peer.read().letters, "GTD");
        EXPECT_EQ(ask("DAT", isoTape("O1\n")).letters, "RST");
        EXPECT_EQ(peer.read().letters, "SYN");
        ASSERT_TRUE(zek->wait(15000));
        EXPECT_EQ(zek->result().exitStatus, 2) << mode;
    }
    startServer({"--library"});
    EXPECT_EQ(ask("RTD", "O100").letters, "GTD");
    EXPECT_EQ(ask("DAT", isoTape("%\nO100\nG9\n%\n")).letters, "RST");
    disk.takeEveryFile();
    writeAll(pty.masterFd(), isoTape("%\nO400\nG1\n%"));
    ASSERT_TRUE(server->waitForErr(waiting, 15000, 4)) << server->result().err;
    disk.empty();
    writeAll(pty.masterFd(), isoTape("%\nO300\nG1\n%"));
    ASSERT_TRUE(server->waitForErr("LIBRARY NEW O300")) << server->result().err;
    EXPECT_TRUE(
        appearInOrder(server->result().err, {"file write2 error:\\.zek-receiving\n", "STOP CODE DEFINE\n",
                                             "LIBRARY NOT STORED O100 KEPT AS incomplete/O100" + stamp + "\n",
                                             "LIBRARY NOT STORED NONAME KEPT AS incomplete/NONAME" + stamp + "\n",
                                             "Write file open error : \\.zek-receiving\n", "STOP CODE DEFINE\n",
                                             "LIBRARY NOT STORED NONAME, NOT KEPT\n"}))
        << server->result().err;
    EXPECT_TRUE(contains(err(), "LIBRARY NOT STORED O100 KEPT AS incomplete/O100")) << err();
    EXPECT_EQ(dir.read("O100"), program);
    std::vector<std::string> kept = filesIn(dir, "incomplete");
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0], "");
    EXPECT_EQ(kept[1], "");
    const std::string stored = storedText(tape);
    EXPECT_TRUE(!kept[2].empty() && kept[2].size() < stored.size() && stored.compare(0, kept[2].size(), kept[2]) == 0);
}

}  // namespace
