#include "support/device_server.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const char* const program = "/usr/sbin/ser2net";

// A listening socket on 127.0.0.1:port, as /proc/net/tcp shows it
// ("0100007F:1F90", state 0A).
bool listening(int port)
{
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", port);
    std::ifstream table("/proc/net/tcp");
    std::string slot, address, remote, state;
    std::getline(table, slot);
    while (table >> slot >> address >> remote >> state) {
        if (address == local && state == "0A")
            return true;
        std::getline(table, slot);
    }
    return false;
}

}  // namespace

bool DeviceServer::installed()
{
    return access(program, X_OK) == 0;
}

DeviceServer::DeviceServer(const std::vector<Port>& ports)
{
    std::string yaml;
    for (size_t index = 0; index < ports.size(); ++index) {
        tcpPorts_.push_back(freeTcpPort());
        yaml += "connection: &port" + std::to_string(index) + "\n  accepter: " + ports[index].accepter + ",127.0.0.1," +
                std::to_string(tcpPorts_.back()) + "\n  connector: serialdev," + ports[index].pty->slavePath() +
                ",9600n81,local\n";
    }
    dir_.write("ser2net.yaml", yaml);
}

bool DeviceServer::start()
{
    std::string config = dir_.file("ser2net.yaml");
    std::string pidFile = dir_.file("ser2net.pid");
    pid_ = fork();
    if (pid_ == 0) {
        int quiet = open("/dev/null", O_RDWR);
        dup2(quiet, 0);
        dup2(quiet, 1);
        dup2(quiet, 2);
        // -n: in the foreground; -u: no UUCP lock files.
        execl(program, program, "-n", "-u", "-P", pidFile.c_str(), "-c", config.c_str(), nullptr);
        _exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (int port : tcpPorts_) {
        while (!listening(port)) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    return true;
}

// Killed, not asked to end: a box that is shutting down may still take a
// connection before it closes them all.
void DeviceServer::stop()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}
