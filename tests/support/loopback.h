#pragma once
#include "toolkit/thread.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace test
{
// Runs step() until done() holds, at most timeoutMs and maxRounds rounds, sleeping sleepMs
// between rounds. Returns done().
template <typename Step, typename Done>
bool pollUntil(Step step, Done done, unsigned int timeoutMs, unsigned int sleepMs = 1,
               unsigned int maxRounds = 200000)
{
    unsigned int start = brix::Thread::timer();
    for (unsigned int round = 0; round < maxRounds; ++round)
    {
        step();
        if (done())
            return true;
        if (brix::Thread::timer() - start > timeoutMs)
            break;
        brix::Thread::sleep(sleepMs);
    }
    return done();
}

// Runs step() for about the given time, at most maxRounds rounds.
template <typename Step> void pollFor(Step step, unsigned int milliseconds, unsigned int sleepMs = 1)
{
    pollUntil(
        step, [] { return false; }, milliseconds, sleepMs);
}

// A port of the given socket type (SOCK_DGRAM or SOCK_STREAM) on 127.0.0.1 that was free a
// moment ago.
inline unsigned short freeLoopbackPort(int type)
{
    int handle = socket(AF_INET, type, 0);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(handle, reinterpret_cast<sockaddr*>(&local), sizeof(local));
    socklen_t size = sizeof(local);
    getsockname(handle, reinterpret_cast<sockaddr*>(&local), &size);
    close(handle);
    return ntohs(local.sin_port);
}

inline unsigned short freeUdpPort()
{
    return freeLoopbackPort(SOCK_DGRAM);
}

// 127.0.0.1 in host byte order.
const unsigned int LOOPBACK = 0x7F000001;
} // namespace test
