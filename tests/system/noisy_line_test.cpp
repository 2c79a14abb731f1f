// Protocol A over a noisy line: the test plays a controller whose records
// are damaged now and then in ways the record checksum always catches (a
// byte changed by one, a byte dropped, a record cut short). A transfer must
// end with the exact file or give it up; a damaged record is never stored.

#include "system_test.h"

namespace {

constexpr double damageRate = 0.25;
constexpr size_t receivePieceBytes = 200;
constexpr int answerWaitMs = 6000;
// The server purges the line after its RTY and opens it anew a second
// later: a repeat must come after that, and within the second it listens.
constexpr useconds_t serverRepeatDelayUs = 1400000;

std::vector<std::string> piecesOf(const std::string& text, size_t size)
{
    std::vector<std::string> pieces;
    for (size_t at = 0; at < text.size(); at += size)
        pieces.push_back(text.substr(at, size));
    return pieces;
}

// The record with one fault that its checksum detects, counted in
// *injected: a byte changed by one, a byte (never 0) dropped, or the record
// cut off before its ETX.
std::string damaged(std::string bytes, std::mt19937& random, int& injected)
{
    ++injected;
    size_t at = std::uniform_int_distribution<size_t>(2, bytes.size() - 2)(random);
    switch (std::uniform_int_distribution<int>(0, 2)(random)) {
    case 0:
        bytes[at] = char(bytes[at] == '\x02' ? '\x01' : bytes[at] + 1);
        return bytes;
    case 1:
        return bytes.erase(at, 1);
    default:
        return bytes.substr(0, std::uniform_int_distribution<size_t>(1, bytes.size() - 1)(random));
    }
}

}  // namespace

TEST(NoisyLine, ClientReceiveStoresTheExactFileOrGivesItUp)
{
    std::mt19937 random(4242);
    std::bernoulli_distribution damageNow(damageRate);
    const std::string program = generatedProgram(4400 * stressScale(), random);
    const std::vector<std::string> pieces = piecesOf(program, receivePieceBytes);
    TempDir dir;
    PtyPair pty;
    ZekProcess zek({serialChannelOption(pty), "-b0", "-R", "GOT.NC"}, dir.path());
    RecordPeer peer(pty.masterFd());
    ASSERT_TRUE(answerHandshake(peer));
    ASSERT_EQ(peer.read().letters, "GTD");
    int injected = 0;
    bool completed = true;
    for (size_t i = 0; i < pieces.size() && completed; ++i) {
        const std::string record = wireRecord("DAT", isoTape(pieces[i]));
        for (;;) {
            bool damage = damageNow(random);
            peer.sendRaw(damage ? damaged(record, random, injected) : record);
            PeerRecord answer = peer.read(answerWaitMs);
            if (answer.letters == "GTD") {
                ASSERT_FALSE(damage) << "a damaged record was taken, piece " << i;
                break;
            }
            if (answer.letters == "SYN") {  // eleven bad records in a row: given up
                completed = false;
                break;
            }
            ASSERT_EQ(answer.letters, "RTY") << "piece " << i;
            ASSERT_TRUE(damage) << "a good record was refused, piece " << i;
        }
    }
    if (completed) {
        peer.send("EOD");
        EXPECT_EQ(peer.read().letters, "SYN");
        peer.send("SYN");
        EXPECT_EQ(peer.read().letters, "SYN");  // the run's closing SYN
    }
    ASSERT_TRUE(zek.wait(15000)) << zek.result().err;
    const std::string stored = dir.read("GOT.NC");
    if (completed) {
        EXPECT_TRUE(stored == storedText(program)) << "the stored file differs from the program";
        EXPECT_NE(zek.result().err.find("GET FILE END EOD<SYN>"), std::string::npos);
    } else {
        EXPECT_TRUE(storedText(program).rfind(stored, 0) == 0) << "a given-up file holds foreign bytes";
        EXPECT_EQ(zek.result().err.find("GET FILE END"), std::string::npos);
    }
    EXPECT_EQ(countOf(zek.result().err, "GET BAD DATA RESET COM\n"), size_t(injected));
}

TEST(NoisyLine, ClientSendRepeatsUntilEveryPieceArrivedOrGivesUp)
{
    std::mt19937 random(777);
    std::bernoulli_distribution damageNow(damageRate);
    const std::string program = generatedProgram(13000 * stressScale(), random);
    TempDir dir;
    dir.write("SEND.NC", program);
    PtyPair pty;
    ZekProcess zek({serialChannelOption(pty), "-b0", "-g", "SEND.NC"}, dir.path());
    RecordPeer peer(pty.masterFd());
    ASSERT_TRUE(answerHandshake(peer));
    ASSERT_EQ(peer.read().raw, wireRecord("RTD", "SEND.NC"));
    int injected = 0;
    int linesDamaged = 0;  // DAT records the controller reported as damaged
    std::string got;
    bool completed = false;
    for (bool ended = false; !ended;) {
        bool damage = damageNow(random);
        peer.sendRaw(damage ? damaged(wireRecord("GTD"), random, injected) : wireRecord("GTD"));
        PeerRecord answer = peer.read(answerWaitMs);
        if (answer.letters == "RTY") {
            ASSERT_TRUE(damage) << "a good GTD was refused";
            continue;
        }
        ASSERT_FALSE(damage && answer.letters != "SYN") << "a damaged GTD was taken";
        if (answer.letters == "DAT") {
            // The line damaged the piece on its way: ask for it again.
            while (damageNow(random)) {
                ++linesDamaged;
                peer.send("RTY", "1");
                PeerRecord again = peer.read(answerWaitMs);
                ASSERT_EQ(again.raw, answer.raw) << "the repeated piece differs";
            }
            ASSERT_TRUE(answer.checksumGood);
            got += answer.payload;
            continue;
        }
        ended = true;
        completed = answer.letters == "EOD";
        if (completed) {
            peer.send("SYN");  // the record zek reads and disregards
        } else {
            ASSERT_EQ(answer.letters, "SYN");
        }
    }
    if (completed) {
        EXPECT_EQ(peer.read().letters, "SYN");  // the run's closing SYN
    }
    ASSERT_TRUE(zek.wait(15000)) << zek.result().err;
    if (completed) {
        EXPECT_TRUE(got == program) << "the pieces do not make up the program";
        EXPECT_NE(zek.result().err.find("GTD< END OF DATA EOD>\n"), std::string::npos);
    } else {
        EXPECT_TRUE(program.rfind(got, 0) == 0) << "the pieces are no prefix of the program";
    }
    EXPECT_EQ(countOf(zek.result().err, "BAD DATA RTY>file SEND.NC\n"), size_t(injected));
    EXPECT_EQ(countOf(zek.result().err, "DATA RE-SEND DAT>file SEND.NC\n"), size_t(linesDamaged));
}

TEST(NoisyLine, ServerReceiveRetriesUntilTheFileIsWhole)
{
    std::mt19937 random(31337);
    std::bernoulli_distribution damageNow(damageRate);
    const std::string program = generatedProgram(3000 * stressScale(), random);
    const std::vector<std::string> pieces = piecesOf(program, receivePieceBytes);
    TempDir dir;
    PtyPair pty;
    ZekProcess zek({serialChannelOption(pty), "-b0", "-S"}, dir.path());
    RecordPeer peer(pty.masterFd());
    ASSERT_TRUE(zek.waitForErr("** PROT(A) SERVER MODE ** ", 10000));
    // The idle server reopens the line now and then; an announcement that
    // falls into a reopening is lost and sent again.
    PeerRecord answer;
    for (int attempt = 0; attempt < 8 && answer.letters != "GTD"; ++attempt) {
        peer.send("RTD", "O4711");
        answer = peer.readUntilType("GTD", 2500);
    }
    ASSERT_EQ(answer.letters, "GTD");
    int injected = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const std::string record = wireRecord("DAT", isoTape(pieces[i]));
        bool damage = damageNow(random);
        peer.sendRaw(damage ? damaged(record, random, injected) : record);
        for (answer = peer.read(answerWaitMs); answer.letters == "RTY"; answer = peer.read(answerWaitMs)) {
            usleep(serverRepeatDelayUs);
            damage = damageNow(random);
            peer.sendRaw(damage ? damaged(record, random, injected) : record);
        }
        ASSERT_EQ(answer.letters, "GTD") << "piece " << i;
        ASSERT_FALSE(damage) << "a damaged record was taken, piece " << i;
    }
    peer.send("EOD");
    EXPECT_EQ(peer.readUntilType("SET", answerWaitMs).letters, "SET");
    ASSERT_TRUE(zek.waitForErr("RECV(A) END O4711 ", 5000));
    EXPECT_TRUE(dir.read("O4711") == storedText(program)) << "the stored file differs from the program";
    EXPECT_GE(countOf(zek.result().err, "READ RETRY "), size_t(injected));
}
