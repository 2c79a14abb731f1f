// The run as the operator sees it: usage texts, exit statuses, the log.

#include <gtest/gtest.h>

#include <iconv.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "console_text.h"
#include "support/controller.h"

namespace {

const std::string banner = "zek Windows for NC Vr7.06\n";

// Both texts as the operator reads them; the program writes them in code page 932.
const char* const japaneseUsage[] = {
    "zek Windows NCデータ転送ユーティリティ  バージョン 7.06\n",
    "  Copyright (C) zek developers\n",
    "zek [-b<ボーレート>c<チャンネル>w<ウェイト>rRFoaeidfDkmnhtlqsSg][<ファイル名>]\n",
    " -bボーレート ... 0,600(1),1200(2),2400(3),4800(4),9600(5),19200(6),38400(7),(8-9)\n",
    " -cチャンネル    ... チャンネル番号( デフォルト : c0 = COM1 , c2 = COM2 )\n",
    " -c\\ファイル名   ... 出力ファイル名（COMでは無くてファイルに出力する）\n",
    " -cホスト名:ポート番号   ... 接続ホスト名：ポート番号（サーバモードではホスト名はダミー）\n",
    " -r|R(F)  ... プロトコルB|A 受信モード( デフォルト : B 送信 : F Fanuc モード)\n",
    " -s|S  ... プロトコルB|A サーバーモード \n",
    " -g    ... プロトコルA 送信モード\n",
    " -o    ... モニター表示 ( デフォルト\u3000:\u3000モニター しない)\n",
    " -l    ... ログファイルを追記しない ( デフォルト\u3000: 追記 )\n",
    " -a|e  ... ASCII|EIA コード出力（デフォルト : ISO コード）\n",
    " -d    ... ソフト・フロー(DC3=0x13)制御 (デフォルト DC制御なしハードフロー)\n",
    " -D    ... NC用ソフト・フロー(DC3=0x93)制御\n",
    " -q    ... NC用ソフト・フロー(0x93)制御 出力スタート時にDC1を待たない\n",
    " -k    ... コメント文（0:無出力 1:出力(デフォルト) 2:NCのみ 3:ZEKのみ ）\n",
    " -n    ... 送信時 サブプログラム分岐をしない(デフォルト :する）\n",
    " -p    ... 受信時 ストップコードを識別しない（デフォルト :する)\n",
    " -f    ... 送信時 改行としてCR+LFを出力する(デフォルト :LFのみ)\n",
    " -t    ... 紙テープ用のフィードとDC2,4を出力(デフォルト :しない)\n",
    " -wウエイト    ... Waitを入れて送信する(単位ｍｓ\u3000デフォルト :しない)\n",
    " -h    ... 使用方法表示\u3000（英語 English）\n",
    "Return to end ",
};

const char* const englishUsage[] = {
    "zek Windows NC data punch out program Vr 7.06\n",
    "  Copyright (C) zek developers\n",
    "zek [-b<boud>c<channel>w<wait>rRFoeaidfDkmnhtlqsSg][<file_name>]\n",
    " -bbaud  ... 0,600(1),1200(2),2400(3),4800(4),9600(5),19200(6),38400(7),(8-9)\n",
    " -cchannel  ... channel No (default c0 = COM1 , c2 = COM2 )\n",
    " -c\\filename ... Out put filename(Don't output COM )\n",
    " -cHost:Port ... HostName : Port No (Host:Server Mode dummy )\n",
    " -r|R(F)  ... PROTOCOL-B|A RECV MODE ( default : B-SEND : F Fanuc mode )\n",
    " -s|S  ... PROTOCOL-B|A SERVER MODE\n",
    " -g  ... PROTOCOL-A SEND MODE \n",
    " -o  ... Monitor ( default\u3000:\u3000no monitor )\n",
    " -l  ... LOG FILE OVER WRITE ( default : Do Not OVER WRITE )\n",
    " -a|e  ... ASCII|EIA code out ( default : ISO code )\n",
    " -d  ... Soft flow(DC3=0x13) (default :no DC flow)\n",
    " -D  ... NC soft flow(DC3=0x93)\n",
    " -q  ... NC soft flow(DC3=0x93) NO Wait DC1 code on Output\n",
    " -k  ... Comment Line ( 0:Not Send 1:Send(Defalut) 2;Origin 3:Add )\n",
    " -n  ... Sub program call (send) (default : yes )\n",
    " -p  ... No stop code mode (recv) (defualt : yes)\n",
    " -f  ... CR+LF code send (default : LF only )\n",
    " -t  ... Paper tape out feed DC2,DC4 code (default : NO )\n",
    " -wWait  ... Wait Send (ms/char default : NO )\n",
    " -h  ... This message (English)\n",
    "Return to end ",
};

std::string toCodePage932(const std::string& utf8)
{
    iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return "";
    std::string in = utf8;
    std::string out(in.size() * 2, '\0');
    char* inNext = &in[0];
    size_t inLeft = in.size();
    char* outNext = &out[0];
    size_t outLeft = out.size();
    size_t result = iconv(converter, &inNext, &inLeft, &outNext, &outLeft);
    iconv_close(converter);
    if (result == size_t(-1))
        return "";
    out.resize(out.size() - outLeft);
    return out;
}

template <size_t lineCount>
std::string usageBytes(const char* const (&lines)[lineCount])
{
    std::string text;
    for (const char* line : lines)
        text += line;
    return toCodePage932(text);
}

TEST(RunControlUsage, NoArgumentOrAnUnknownLetterShowsJapaneseTextAfterCreatingTheProgramFiles)
{
    const std::string expected = usageBytes(japaneseUsage);
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

// Usage ends at once, without waiting for an input line.
TEST(RunControlUsage, DashHShowsEnglishTextAfterTheExecLine)
{
    const std::string expected = usageBytes(englishUsage);
    ASSERT_TRUE(contains(expected, " -o  ... Monitor ( default\x81\x40:\x81\x40no monitor )\n"));
    TempDir dir;
    ZekResult run = runZek({"-xmake parts", "-h"}, dir.path());
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "ZEK EXEC COMMAND make parts\n");
    EXPECT_EQ(logOf(dir), "ZEK EXEC COMMAND make parts\n");
}

TEST(RunControlEnd, SendOfMissingFileEndsInOrderWithStatusZero)
{
    TempDir dir;
    ZekResult run = runZek({"-c\\out.nc", "MISSING.NC"}, dir.path());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_TRUE(matches(run.err, "^ZEK \\\\out\\.nc FILE OUT PUT\n" + banner));
    EXPECT_TRUE(matches(run.err, "\nEND OF ZEK " + timePattern + "\n\n\\*\\*\\* PROG_END \\*\\*\\* " +
                                     timePattern + "\n$"))
        << run.err;

    const std::string log = logOf(dir);
    EXPECT_TRUE(matches(log, "^ZEK \\\\out\\.nc FILE OUT PUT\n")) << log;
    EXPECT_TRUE(matches(log, "\nEND OF ZEK " + timePattern + "\n\\*\\*\\* PROG_END \\*\\*\\* " +
                                 timePattern + "\n$"))
        << log;
    EXPECT_FALSE(contains(log, banner));
}

// Usage runs end at once, and the options before the usage letter still
// write their lines to the log.
TEST(RunControlLog, EachRunAppendsUnlessDashL)
{
    TempDir dir;
    runZek({"-xfirst", "-h"}, dir.path());
    runZek({"-xsecond", "-h"}, dir.path());
    EXPECT_EQ(logOf(dir), "ZEK EXEC COMMAND first\nZEK EXEC COMMAND second\n");

    runZek({"-l", "-xthird", "-h"}, dir.path());
    EXPECT_EQ(logOf(dir), "ZEK EXEC COMMAND third\n");
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

// Settings the run cannot take end it at start, before any link is opened.
TEST(RunControlRefusal, SettingsTheRunCannotTakeEndItWithStatusOne)
{
    struct Case {
        std::vector<std::string> args;
        std::string message;   // a regex
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
        {{"-S", "-cx:" + std::to_string(portInUse.port())}, "zek : bind: Address already in use\nBIND\\(S\\) ERR\\.\n$", false},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (const char* port : {"80x", "", "0", "70000", "-5"})
        all.push_back({{std::string("-c127.0.0.1:") + port, "A.NC"}, "\n" + std::string(port) + ": PORT NUMBER INVALID\\.\n$", true});
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
        EXPECT_FALSE(contains(results[i].err, "END OF ZEK"));
        EXPECT_EQ(matches(logOf(*dirs[i]), all[i].message), all[i].logged) << logOf(*dirs[i]);
    }
}

}  // namespace
