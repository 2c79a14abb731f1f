// The TCP link as an operator meets it: the built zek as a client that
// waits for the controller to listen. The server side is met by the
// Protocol A and B server tests.
#include "system_test.h"

TEST(TcpLinkRun, ClientRetriesEverySecondUntilTheControllerListens)
{
    TempDir dir;
    const int port = freeTcpPort();
    ZekProcess zek({"-r", "-c127.0.0.1:" + std::to_string(port), "IN.NC"}, dir.path());
    sleepMs(2200);
    TcpListener listener(port);
    int controller = listener.accept(5000);
    ASSERT_GE(controller, 0);
    ASSERT_TRUE(zek.waitForErr("RECV(B) START")) << zek.result().err;
    closeFd(controller);
    const std::string& err = zek.result().err;
    EXPECT_GE(countOf(err, "zek : connect: Connection refused"), 2u) << err;
    EXPECT_LE(countOf(err, "CONNECT(C) ERR.\n"), 4u) << err;
    EXPECT_TRUE(contains(err, "SOCKET_OPEN(Client) REMOTE=127.0.0.1 PORT=" + std::to_string(port) + " CTRL-C to END\n"))
        << err;
}
