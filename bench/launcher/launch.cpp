// zek_bench_launch COMMAND [ARGS...]: runs COMMAND and writes its usage to
// file descriptor 3 as "exit cpu_seconds max_rss_kb". Linux counts the memory
// of the process that forked a child into the child's peak resident size, so
// the bench, which holds whole tapes, starts its children through this small
// static program instead of forking them itself. A SIGINT is passed on.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

static constexpr int reportFd = 3;
static pid_t child = -1;

static void passOn(int signal)
{
    if (child > 0)
        kill(child, signal);
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return 127;
    std::signal(SIGINT, passOn);
    child = fork();
    if (child == 0) {
        close(reportFd);
        execv(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    rusage used{};
    while (wait4(child, &status, 0, &used) < 0) {
        if (errno != EINTR)
            return 127;
    }
    double cpu = double(used.ru_utime.tv_sec + used.ru_stime.tv_sec) +
                 double(used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e6;
    int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    dprintf(reportFd, "%d %.6f %ld\n", exitStatus, cpu, used.ru_maxrss);
    return exitStatus;
}
