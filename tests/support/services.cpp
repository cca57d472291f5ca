#include "support/services.h"

#include "support/loopback.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

namespace test
{
namespace
{
bool portAccepts(unsigned short port)
{
    int handle = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    bool connected = connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    close(handle);
    return connected;
}

bool waitReadable(int socket, unsigned int timeoutMs)
{
    pollfd entry = {socket, POLLIN, 0};
    return poll(&entry, 1, static_cast<int>(timeoutMs)) > 0;
}
} // namespace

unsigned short freeTcpPort()
{
    return freeLoopbackPort(SOCK_STREAM);
}

ServiceProcess::ServiceProcess(const std::string& script, const std::vector<std::string>& arguments,
                               unsigned short port, unsigned int timeoutMs)
    : mPid(-1), mRunning(false)
{
    std::vector<std::string> words = {"python3", sourcePath("tools/services/" + script)};
    words.insert(words.end(), arguments.begin(), arguments.end());
    mPid = fork();
    if (mPid == 0)
    {
        setpgid(0, 0);
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(&word[0]);
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    if (mPid < 0)
        return;
    setpgid(mPid, mPid);
    mRunning = pollUntil([] {}, [port] { return portAccepts(port); }, timeoutMs, 20, timeoutMs / 20 + 1);
}

ServiceProcess::~ServiceProcess()
{
    if (mPid <= 0)
        return;
    kill(-mPid, SIGTERM);
    int status = 0;
    bool ended =
        pollUntil([] {}, [this, &status] { return waitpid(mPid, &status, WNOHANG) == mPid; }, 5000, 10, 600);
    if (!ended)
    {
        kill(-mPid, SIGKILL);
        waitpid(mPid, &status, 0);
    }
}

int ServiceProcess::threads() const
{
    std::ifstream status("/proc/" + std::to_string(mPid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 8, "Threads:") == 0)
            return std::atoi(line.c_str() + 8);
    return 0;
}

IdleConnections::IdleConnections(unsigned short port, int count, unsigned int timeoutMs)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    for (int i = 0; i < count; ++i)
    {
        int handle = socket(AF_INET, SOCK_STREAM, 0);
        if (handle < 0)
            break;
        fcntl(handle, F_SETFL, fcntl(handle, F_GETFL) | O_NONBLOCK);
        bool connected = connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        if (!connected && errno == EINPROGRESS)
        {
            pollfd entry = {handle, POLLOUT, 0};
            int error = 0;
            socklen_t size = sizeof(error);
            connected = poll(&entry, 1, static_cast<int>(timeoutMs)) > 0 &&
                        getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
        }
        if (connected)
            mHandles.push_back(handle);
        else
            close(handle);
    }
}

IdleConnections::~IdleConnections()
{
    for (int handle : mHandles)
        close(handle);
}

MatchMakerService::MatchMakerService()
    : port(freeTcpPort()),
      process("matchmaker.py", {"--host", "127.0.0.1", "--port", std::to_string(port)}, port)
{
}

WebService::WebService(const std::string& latestVersion)
    : port(freeTcpPort()),
      process("webservice.py",
              {"--host", "127.0.0.1", "--port", std::to_string(port), "--database", dir.file("scores.sqlite"),
               "--latest-version", latestVersion, "--download-url", "http://example.invalid/korvane",
               "--message", "A new version is out"},
              port)
{
}

std::string WebService::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port) + path;
}

FileShareService::FileShareService()
    : port(freeTcpPort()), process("fileshare.py",
                                   {"--root", dir.path(), "--address", "127.0.0.1", "--port",
                                    std::to_string(port), "--interval", "0.2"},
                                   port)
{
}

ScriptedServer::ScriptedServer(Script script, unsigned int connections, unsigned int timeoutMs)
{
    mListener = listenOn(mPort);
    mThread = std::thread(
        [this, script, connections, timeoutMs]
        {
            for (unsigned int i = 0; i < connections; ++i)
            {
                int connection = acceptOne(mListener, timeoutMs);
                if (connection < 0)
                    return;
                script(connection);
                close(connection);
            }
        });
}

ScriptedServer::~ScriptedServer()
{
    mThread.join();
    close(mListener);
}

void ScriptedServer::send(int socket, const std::string& text)
{
    ::send(socket, text.data(), text.size(), MSG_NOSIGNAL);
}

std::string ScriptedServer::readLine(int socket, unsigned int timeoutMs)
{
    std::string line;
    unsigned int start = brix::Thread::timer();
    while (line.size() < 4096 && brix::Thread::timer() - start < timeoutMs)
    {
        if (!waitReadable(socket, 50))
            continue;
        char c = 0;
        if (recv(socket, &c, 1, 0) != 1)
            break;
        if (c == '\n')
        {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        line += c;
    }
    return line;
}

std::string ScriptedServer::readAvailable(int socket, unsigned int idleMs, unsigned int maxBytes)
{
    std::string out;
    char piece[4096];
    while (out.size() < maxBytes && waitReadable(socket, idleMs))
    {
        ssize_t length = recv(socket, piece, sizeof(piece), 0);
        if (length <= 0)
            break;
        out.append(piece, static_cast<std::size_t>(length));
    }
    return out;
}

int ScriptedServer::listenOn(unsigned short& port)
{
    int handle = socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(handle, reinterpret_cast<sockaddr*>(&local), sizeof(local));
    listen(handle, 4);
    socklen_t size = sizeof(local);
    getsockname(handle, reinterpret_cast<sockaddr*>(&local), &size);
    port = ntohs(local.sin_port);
    return handle;
}

int ScriptedServer::acceptOne(int listener, unsigned int timeoutMs)
{
    if (!waitReadable(listener, timeoutMs))
        return -1;
    return accept(listener, nullptr, nullptr);
}
} // namespace test
