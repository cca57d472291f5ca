#include "support/xserver.h"

#include "support/loopback.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace test
{
namespace
{
const int START_TIMEOUT_MS = 30000;
const int STOP_TIMEOUT_MS = 10000;

// The display number the server writes once it accepts clients, "" when it has not within the
// time (on a loaded machine it takes seconds).
std::string readDisplayNumber(int fd)
{
    std::string number;
    pollfd ready = {fd, POLLIN, 0};
    unsigned int start = brix::Thread::timer();
    while (brix::Thread::timer() - start < static_cast<unsigned int>(START_TIMEOUT_MS))
    {
        if (poll(&ready, 1, 100) <= 0)
            continue;
        char buffer[16];
        const ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got <= 0)
            break;
        number.append(buffer, static_cast<size_t>(got));
        if (number.find('\n') != std::string::npos)
            return number.substr(0, number.find('\n'));
    }
    return std::string();
}
} // namespace

XServer::XServer()
{
    const char* previous = std::getenv("DISPLAY");
    mHadDisplay = previous != nullptr;
    mPreviousDisplay = previous ? previous : "";

    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot start Xvfb: no pipe");
    const std::string output = mDir.file("xvfb.log");
    // Made before the fork: the child of a process with threads only calls what is safe there.
    const std::string fd = std::to_string(pipe[1]);
    mPid = fork();
    if (mPid == 0)
    {
        // The server ends with this process, also when a test aborts.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int log = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (log >= 0)
        {
            dup2(log, 1);
            dup2(log, 2);
        }
        // The server keeps none of the test's files or sockets open, only the pipe it writes its
        // display number to.
        close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        fcntl(pipe[1], F_SETFD, 0);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-screen", "0", "1280x1024x24",
               "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipe[1]);
    const std::string number = mPid > 0 ? readDisplayNumber(pipe[0]) : std::string();
    close(pipe[0]);
    if (number.empty())
    {
        stop();
        const std::string said = readFile(output);
        throw std::runtime_error("Xvfb did not start" + (said.empty() ? std::string() : ": " + said));
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
}

XServer::~XServer()
{
    if (mHadDisplay)
        setenv("DISPLAY", mPreviousDisplay.c_str(), 1);
    else
        unsetenv("DISPLAY");
    stop();
}

void XServer::stop()
{
    if (mPid <= 0)
        return;
    kill(mPid, SIGTERM);
    int status = 0;
    if (!pollUntil([] {}, [this, &status] { return waitpid(mPid, &status, WNOHANG) == mPid; },
                   STOP_TIMEOUT_MS, 10, STOP_TIMEOUT_MS / 10 + 1))
    {
        kill(mPid, SIGKILL);
        waitpid(mPid, &status, 0);
    }
    mPid = -1;
}
} // namespace test
