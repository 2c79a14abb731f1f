// zek: moves NC part programs between a PC and a CNC controller.
// The run, from start to end: log, macro file, command line (which opens the
// link), one transfer mode, end line, orderly end.

#include <cstdio>
#include <cstdlib>

#include "app/command_line.h"
#include "log/log.h"
#include "app/run_end.h"
#include "app/run_settings.h"
#include "link/channel.h"
#include "link/console.h"
#include "log/console_text.h"
#include "protocol_a/client_receive.h"
#include "protocol_a/client_send.h"
#include "protocol_a/server.h"
#include "protocol_b/protocol_b.h"
#include "sender/macro_file.h"

static void runTransfer()
{
    if (runSettings.protocolA) {
        if (runSettings.receiveMode != TransferSend)
            protocolAReceive();
        else
            protocolASend();
    } else if (runSettings.serverA) {
        protocolAServer();
    } else {
        runProtocolB(receiveProtocolB);
    }
}

static void openLogOrEnd()
{
    bool append = runSettings.logAppend != 0;
    if (openLog(append))
        return;
    std::fputs(append ? "Can Not Open ADD LOGFILE !!\n" : "Can Not Open NEW LOGFILE !!\n", stderr);
    std::exit(1);
}

int main(int argc, char** argv)
{
    setConsoleSystem({consoleTakesUtf8(), writeConsoleWindow});
    setBeforeMessage([] { flushOutput(); });
    applyLogOption(argc, argv);
    openLogOrEnd();
    ensureMacroFile();
    parseCommandLine(argc, argv);
    runTransfer();
    echoLog("END OF ZEK %s\n", timeStamp());
    programEnd(0);
}
