// zek: moves NC part programs between a PC and a CNC controller.
// The run, from start to end: log, macro file, command line (which opens the
// link), one transfer mode, end line, orderly end.

#include "app/command_line.h"
#include "app/log.h"
#include "app/run_end.h"
#include "app/run_settings.h"
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

int main(int argc, char** argv)
{
    applyLogOption(argc, argv);
    openLog();
    ensureMacroFile();
    parseCommandLine(argc, argv);
    runTransfer();
    echoLog("END OF ZEK %s\n", timeStamp());
    programEnd(0);
}
