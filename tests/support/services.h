#pragma once
#include "support/tempdir.h"

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace test
{
// A TCP port on 127.0.0.1 that was free a moment ago.
unsigned short freeTcpPort();

// One of the stand-in services under tools/services, started on 127.0.0.1 in a process group
// of its own and stopped (TERM, then KILL after a bounded wait) when the object dies.
class ServiceProcess
{
public:
    // arguments follow "python3 tools/services/<script>". Waits until the TCP port accepts,
    // at most timeoutMs (on a machine busy with other tests a service may take many seconds to
    // come up); isRunning tells whether it came up.
    ServiceProcess(const std::string& script, const std::vector<std::string>& arguments, unsigned short port,
                   unsigned int timeoutMs = 60000);
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    bool isRunning() const { return mRunning; }
    // The threads the service runs now; 0 when that cannot be read.
    int threads() const;

private:
    int mPid;
    bool mRunning;
};

// Idle TCP connections to a port on 127.0.0.1, opened one after another as a flood opens
// them, and closed when the object dies. Each connect gives up after timeoutMs (a full
// listen queue keeps some out).
class IdleConnections
{
public:
    IdleConnections(unsigned short port, int count, unsigned int timeoutMs);
    ~IdleConnections();
    IdleConnections(const IdleConnections&) = delete;
    IdleConnections& operator=(const IdleConnections&) = delete;

private:
    std::vector<int> mHandles;
};

// The match maker on free ports.
struct MatchMakerService
{
    MatchMakerService();
    unsigned short port;
    ServiceProcess process;
};

// The high-score and update web service on a free port, with its database in a temporary folder.
struct WebService
{
    WebService(const std::string& latestVersion = "1.5.0");
    std::string url(const std::string& path) const;
    TempDir dir;
    unsigned short port;
    ServiceProcess process;
};

// vsftpd with the upload filing job, sharing a temporary folder.
struct FileShareService
{
    FileShareService();
    // The folder the shared levels lie in.
    std::string levels() const { return dir.path() + "/ftp/korvane/levels"; }
    std::string server() const { return "127.0.0.1:" + std::to_string(port); }
    TempDir dir;
    unsigned short port;
    ServiceProcess process;
};

// A TCP server on 127.0.0.1 that runs a script for each of up to `connections` connections,
// on its own thread. Accepting gives up after timeoutMs. The script gets the connected
// socket; the connection is closed when it returns.
class ScriptedServer
{
public:
    typedef std::function<void(int socket)> Script;

    ScriptedServer(Script script, unsigned int connections = 1, unsigned int timeoutMs = 15000);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    unsigned short getPort() const { return mPort; }
    std::string address() const { return "127.0.0.1:" + std::to_string(mPort); }

    // Helpers for scripts. Each waits at most timeoutMs.
    static void send(int socket, const std::string& text);
    // One line without its CRLF; empty on time-out or close.
    static std::string readLine(int socket, unsigned int timeoutMs = 5000);
    // Everything until the peer stops sending for idleMs (or closes), at most maxBytes.
    static std::string readAvailable(int socket, unsigned int idleMs = 300, unsigned int maxBytes = 1 << 20);
    // A listening socket on a free loopback port, for a scripted data connection.
    static int listenOn(unsigned short& port);
    // Accepts one connection on a listening socket; -1 on time-out.
    static int acceptOne(int listener, unsigned int timeoutMs = 5000);

private:
    int mListener;
    unsigned short mPort;
    std::thread mThread;
};
} // namespace test
