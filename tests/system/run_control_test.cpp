// The run as the operator sees it: usage texts, exit statuses, the log.

#include "system_test.h"

namespace {

const std::string banner = "zek Windows for NC Vr7.06\n";

// The usage text as the operator reads it; the program writes it in code page 932.
std::string usageBytes(const std::string& language)
{
    return toCodePage932(readFileBytes(std::string(ZEK_SOURCE_DIR) + "/tests/data/usage_" + language + ".txt"));
}

TEST(RunControlUsage, NoArgumentOrAnUnknownLetterShowsJapaneseTextAfterCreatingTheProgramFiles)
{
    const std::string expected = usageBytes("japanese");
    ASSERT_FALSE(expected.empty()) << "iconv has no CP932";
    ASSERT_TRUE(contains(expected, "\x81\x40"));
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"-o", "-j", "-b9600"}}) {
        SCOPED_TRACE(args.size());
        TempDir dir;
        ZekResult run = runZek(args, dir.path());
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.out, expected);
        EXPECT_TRUE(dir.exists("ZEKLOG.TXT"));
        EXPECT_TRUE(dir.exists("ZEKMAC.TXT"));
        EXPECT_FALSE(contains(run.err, banner));
    }
}

// Usage ends at once, without waiting for an input line. The options before
// the usage letter still write their lines to the log, which each run
// appends to unless -l.
TEST(RunControlUsage, DashHShowsEnglishTextAfterTheExecLineAndEachRunAppendsToTheLogUnlessDashL)
{
    const std::string expected = usageBytes("english");
    ASSERT_TRUE(contains(expected, " -o  ... Monitor ( default\x81\x40:\x81\x40no monitor )\n"));
    TempDir dir;
    ZekResult run = runZek({"-xmake parts", "-h"}, dir.path());
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "ZEK EXEC COMMAND make parts\n");
    runZek({"-xsecond", "-h"}, dir.path());
    EXPECT_EQ(logOf(dir), "ZEK EXEC COMMAND make parts\nZEK EXEC COMMAND second\n");
    runZek({"-l", "-xthird", "-h"}, dir.path());
    EXPECT_EQ(logOf(dir), "ZEK EXEC COMMAND third\n");
}

// Answered at once, before the log and the macro file exist: the input stays
// open, so a wait for Return would keep the run from ending.
TEST(RunControlUsage, HelpAndVersionAnswerOnStandardOutputWithStatusZero)
{
    std::string english = usageBytes("english");
    english.resize(english.rfind("Return to end "));
    TempDir dir;
    ZekProcess help({"-r", "--help", "--bogus"}, dir.path(), zekDefaultLocale, true);
    ZekProcess version({"-j", "--version", "--help"}, dir.path(), zekDefaultLocale, true);
    ASSERT_TRUE(help.wait(10000) && version.wait(10000));
    const std::string& out = help.result().out;
    EXPECT_EQ(out.substr(0, english.size()), english);
    EXPECT_TRUE(
        matches(out.substr(english.size()),
                "^ --library .*\n --idle-end=N .*\n --quiet-idle .*\n --connect .*\n --rfc2217 .*\n --allow=.*\n"
                " --help .*\n --version .*\n$"))
        << out;
    EXPECT_EQ(version.result().out, "zek 7.06\n");
    EXPECT_EQ(help.result().exitStatus + version.result().exitStatus, 0);
    EXPECT_EQ(help.result().err + version.result().err, "");
    EXPECT_FALSE(dir.exists("ZEKLOG.TXT") || dir.exists("ZEKMAC.TXT"));
}

TEST(RunControlEnd, SendOfMissingFileEndsInOrderWithStatusTwo)
{
    TempDir dir;
    ZekResult run = runZek({"-c\\out.nc", "MISSING.NC"}, dir.path());
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_TRUE(matches(run.err, "^ZEK \\\\out\\.nc FILE OUT PUT\n" + banner));
    EXPECT_TRUE(
        matches(run.err, "\nEND OF ZEK " + timePattern + "\n\n\\*\\*\\* PROG_END \\*\\*\\* " + timePattern + "\n$"))
        << run.err;
    const std::string log = logOf(dir);
    EXPECT_TRUE(matches(log, "^ZEK \\\\out\\.nc FILE OUT PUT\n")) << log;
    EXPECT_TRUE(matches(log, "\nEND OF ZEK " + timePattern + "\n\\*\\*\\* PROG_END \\*\\*\\* " + timePattern + "\n$"))
        << log;
    EXPECT_FALSE(contains(log, banner));
}

// A Protocol A option wins over -S, and the last option that sets the
// direction picks it: -S -g sends, -g -S receives.
TEST(RunControlEnd, ProtocolAOptionWinsOverTheServerOption)
{
    TempDir sending, receiving;
    std::vector<ZekResult> runs = runZekTogether(
        {{{"-S", "-g", "-c\\out", "NO/A.NC"}, sending.path()}, {{"-g", "-S", "-c\\out", "NO/A.NC"}, receiving.path()}},
        15000);
    EXPECT_TRUE(contains(runs[0].err, " cant open read file NO/A.NC\n")) << runs[0].err;
    EXPECT_TRUE(contains(runs[1].err, " cant open write file NO/A.NC\n")) << runs[1].err;
}

TEST(RunControlLog, LogThatCannotBeOpenedStopsTheRunFirst)
{
    TempDir dir;
    ASSERT_EQ(mkdir(dir.file("ZEKLOG.TXT").c_str(), 0755), 0);
    ZekResult run = runZek({"-c\\out.nc", "A.NC"}, dir.path());
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "Can Not Open ADD LOGFILE !!\n");
    EXPECT_FALSE(dir.exists("ZEKMAC.TXT"));
    run = runZek({"-l", "A.NC"}, dir.path());
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "Can Not Open NEW LOGFILE !!\n");
}

// logrotate's copytruncate empties the log while a server runs: the next
// line goes to the start of the emptied file, not after a hole of NUL bytes
// as long as the lines that were there; also when -l started the log anew.
TEST(RunControlLog, ALogEmptiedWhileTheServerRunsGoesOnFromItsStart)
{
    for (const char* logMode : {"-S", "-lS"}) {
        SCOPED_TRACE(logMode);
        TempDir dir;
        dir.write("ZEKLOG.TXT", "an earlier run\n");
        const int port = freeTcpPort();
        ZekProcess zek({logMode, "-c127.0.0.1:" + std::to_string(port)}, dir.path());
        const int controller = connectTcp(port, 10000);  // silent: the server asks again each second
        ASSERT_TRUE(zek.waitForErr("ERR-RETRY SYN SEND ")) << zek.result().err;
        ASSERT_EQ(truncate(dir.file("ZEKLOG.TXT").c_str(), 0), 0);
        // The line after the next is on the console only once the next is in the log.
        ASSERT_TRUE(zek.waitForErr("ERR-RETRY SYN SEND ", 10000, 3)) << zek.result().err;
        zek.kill();
        closeFd(controller);
        EXPECT_TRUE(matches(logOf(dir), "^(ERR-RETRY SYN SEND " + timePattern + "\n)+\\*\\*\\* STOPPED BY "))
            << logOf(dir);
    }
}

// A full disk: the log's first line fails, which the console says once, and
// the run goes on to its end.
TEST(RunControlLog, ALogThatCannotBeWrittenIsSaidOnceAndTheRunGoesOn)
{
    TempDir dir;
    ASSERT_EQ(symlink("/dev/full", dir.file("ZEKLOG.TXT").c_str()), 0);
    dir.write("A.NC", "%\nO1\nG01 X1.000 Y2.000\n%\n");
    ZekResult run = runZek({"-c\\out.nc", "A.NC"}, dir.path());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_TRUE(matches(run.err, "^ZEK \\\\out\\.nc FILE OUT PUT\n\\*\\*\\* ZEKLOG\\.TXT WRITE ERROR \\*\\*\\*: .+\n"))
        << run.err;
    EXPECT_EQ(countOf(run.err, "WRITE ERROR"), 1u) << run.err;
    EXPECT_TRUE(contains(run.err, "*** PROG_END *** ")) << run.err;
    EXPECT_TRUE(contains(dir.read("out.nc"), isoTape("G01 X1.000 Y2.000\n")));
}

// Settings the run cannot take, long options it does not know, and a port
// that cannot be opened end it at start, without a usage text, before
// anything is sent or received.
TEST(RunControlRefusal, SettingsTheRunCannotTakeEndItWithStatusOne)
{
    struct Case {
        std::vector<std::string> args;
        std::string message;  // a regex
        bool logged;
    };
    TcpListener portInUse;
    std::vector<std::string> names(128, "A.NC");
    const Case cases[] = {
        {names, "^TOO MANY FILE NAMES \\(MAX 127\\)\n$", true},
        {{"-c\\" + std::string(127, 'n'), "A.NC"}, "^CHANNEL NAME TOO LONG \\(MAX 127\\)\n$", true},
        {{"-x" + std::string(1024, 'x'), "A.NC"}, "^EXEC COMMAND TOO LONG \\(MAX 1023\\)\n$", true},
        {{"-b10", "-c\\out.nc", "A.NC"}, " 10bps CAN NOT SET SPEED\\.\n", true},
        {{"-b7200", "-c\\out.nc", "A.NC"}, " 7200bps CAN NOT SET SPEED\\.\n", true},
        {{"-c" + std::string(60, 'h') + ":8000", "A.NC"}, "TOO LONG", true},
        {{"-cnosuchhost.invalid:8000", "A.NC"}, "\nnosuchhost\\.invalid: REMOTE HOST unkown\\.\n$", true},
        {{"-S", "-cx:" + std::to_string(portInUse.port())},
         "zek : bind: " + std::string(runningWindowsBuild() ? ".*" : "Address already in use") +
             "\nBIND\\(S\\) ERR\\.\n$",
         false},
        {{"--bogus", "-r"}, "^unknown option --bogus\n$", true},
        {{"-s", "--"}, "^unknown option --\n$", true},
        {{"--library=x", "-s"}, "^unknown option --library=x\n$", true},
        {{"-r", "--library"}, "^--library needs -s or -S\n$", true},
        {{"-g", "--quiet-idle", "A.NC"}, "^--quiet-idle needs -s or -S\n$", true},
        {{"-s", "-cx:8000", "--allow=10.0.0.1,256.1.1.1"},
         "^--allow needs IPv4 addresses a\\.b\\.c\\.d or a\\.b\\.c\\.d/n, not \"256\\.1\\.1\\.1\"\n$",
         true},
        {{"-r", "-cx:8000", "--connect"}, "^--connect needs -s or -S and -cHOST:PORT\n$", true},
        {{"-s", "--rfc2217"}, "^--rfc2217 needs -cHOST:PORT\n$", true},
        {{"-S", "-cx:8000", "--connect", "--allow=10.0.0.0/8"}, "^--allow needs .* without --connect\n$", true},
        {{"-c251", "A.NC"},  // no such port here
         "\\*\\*\\* TTY OPEN ERROR  \\*\\*\\*: " +
             std::string(runningWindowsBuild() ? "" : "No such file or directory\n$"),
         false},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (const char* port : {"80x", "", "0", "70000", "-5"})
        all.push_back({{std::string("-c127.0.0.1:") + port, "A.NC"},
                       "\n" + std::string(port) + ": PORT NUMBER INVALID\\.\n$",
                       true});
    for (const char* value : {"=0", "=3601", "=x", "=", ""})
        all.push_back({{"-r", std::string("--idle-end") + value},
                       "^--idle-end needs a number of seconds from 1 to 3600\n$",
                       true});
    std::vector<std::unique_ptr<TempDir>> dirs;
    std::vector<ZekRun> runs;
    for (const Case& c : all) {
        dirs.push_back(std::make_unique<TempDir>());
        runs.push_back({c.args, dirs.back()->path()});
    }
    std::vector<ZekResult> results = runZekTogether(runs);
    for (size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(all[i].message);
        EXPECT_EQ(results[i].exitStatus, 1);
        EXPECT_TRUE(matches(results[i].err, all[i].message)) << results[i].err;
        EXPECT_EQ(results[i].out, "");  // no link was opened
        EXPECT_FALSE(contains(results[i].err, "END OF ZEK"));
        EXPECT_EQ(matches(logOf(*dirs[i]), all[i].message), all[i].logged) << logOf(*dirs[i]);
    }
}

}  // namespace
