#pragma once
#include "network/networkaddress.h"
#include "network/udpsocket.h"

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace test
{
// A bad network between clients and a server on loopback: clients talk to the front socket, and
// the server sees each client address of the front through a back socket of its own, so that a
// client that connects again comes from a new address, as over a real line. Datagrams are
// delayed, lost, doubled and reordered at random from a seed. The clock is the caller's: pump(now)
// takes in what was sent and sends on what is due by then, so a test runs the line on the wall
// clock or on the ticks it drives.
class BadNetwork
{
public:
    struct Faults
    {
        // Each way, in the caller's milliseconds: a delay from minDelay to maxDelay.
        unsigned int minDelay = 1;
        unsigned int maxDelay = 3;
        // Chances per datagram.
        double loss = 0.0;
        double duplication = 0.0;
        double reordering = 0.0;
        // A reordered datagram is held back this much longer, for those after it to overtake it.
        unsigned int holdBack = 25;
        unsigned int seed = 1234;
    };

    enum Direction
    {
        TO_SERVER,
        TO_CLIENTS
    };

    // Client addresses the line carries at most; datagrams from more are lost.
    static constexpr size_t MAX_ROUTES = 64;
    // Datagrams on their way at most, and taken in per pump at most: a flood is lost, not kept.
    static constexpr size_t MAX_PENDING = 8192;
    static constexpr unsigned int MAX_INTAKE = 4096;

    BadNetwork(unsigned short serverPort, const Faults& faults);
    ~BadNetwork();
    BadNetwork(const BadNetwork&) = delete;
    BadNetwork& operator=(const BadNetwork&) = delete;

    // "127.0.0.1:<front port>", where clients connect.
    const std::string& address() const { return mAddress; }
    void pump(unsigned int now);
    // While cut, every datagram that way is lost.
    void cut(Direction direction, bool cut) { mCut[direction] = cut; }

    unsigned int mLost = 0, mDoubled = 0, mReordered = 0;

private:
    struct TRoute
    {
        brix::NetworkAddress client;
        std::unique_ptr<brix::UDPSocket> back;
    };
    struct TDatagram
    {
        Direction direction;
        size_t route;
        unsigned int due;
        std::vector<unsigned char> bytes;
    };

    // The route of a client address, made on its first datagram; -1 when the line is full.
    int route(const brix::NetworkAddress& client);
    void impair(Direction direction, size_t route, const unsigned char* data, unsigned int length,
                unsigned int now);

    Faults mFaults;
    brix::UDPSocket mFront;
    brix::NetworkAddress mServer;
    std::string mAddress;
    std::vector<TRoute> mRoutes;
    std::mt19937 mRandom;
    std::vector<TDatagram> mPending;
    bool mCut[2] = {false, false};
};
} // namespace test
