#include "support/badnetwork.h"

#include "support/loopback.h"

#include <algorithm>

namespace test
{
BadNetwork::BadNetwork(unsigned short serverPort, const Faults& faults)
    : mFaults(faults), mServer(LOOPBACK, serverPort), mRandom(faults.seed)
{
    const unsigned short front = freeUdpPort();
    mFront.open(front);
    mAddress = "127.0.0.1:" + std::to_string(front);
}

BadNetwork::~BadNetwork() = default;

int BadNetwork::route(const brix::NetworkAddress& client)
{
    for (size_t index = 0; index < mRoutes.size(); ++index)
        if (mRoutes[index].client == client)
            return static_cast<int>(index);
    if (mRoutes.size() >= MAX_ROUTES)
        return -1;
    auto back = std::make_unique<brix::UDPSocket>();
    if (!back->open(0))
        return -1;
    mRoutes.push_back(TRoute{client, std::move(back)});
    return static_cast<int>(mRoutes.size() - 1);
}

void BadNetwork::pump(unsigned int now)
{
    unsigned char buffer[2048];
    unsigned int length = 0;
    for (unsigned int intake = 0; intake < MAX_INTAKE && mFront.receive(buffer, sizeof(buffer), length);
         ++intake)
    {
        const int index = route(mFront.getRemoteAddress());
        if (index < 0)
            ++mLost;
        else
            impair(TO_SERVER, static_cast<size_t>(index), buffer, length, now);
    }
    for (size_t index = 0; index < mRoutes.size(); ++index)
        for (unsigned int intake = 0;
             intake < MAX_INTAKE && mRoutes[index].back->receive(buffer, sizeof(buffer), length); ++intake)
            impair(TO_CLIENTS, index, buffer, length, now);

    // What is due goes in the order it is due, so that one held back is overtaken.
    std::stable_sort(mPending.begin(), mPending.end(),
                     [](const TDatagram& a, const TDatagram& b)
                     { return static_cast<int>(a.due - b.due) < 0; });
    size_t sent = 0;
    while (sent < mPending.size() && static_cast<int>(now - mPending[sent].due) >= 0)
    {
        const TDatagram& datagram = mPending[sent++];
        TRoute& route = mRoutes[datagram.route];
        const unsigned int size = static_cast<unsigned int>(datagram.bytes.size());
        if (datagram.direction == TO_SERVER)
            route.back->transmit(datagram.bytes.data(), size, mServer);
        else
            mFront.transmit(datagram.bytes.data(), size, route.client);
    }
    mPending.erase(mPending.begin(), mPending.begin() + static_cast<long>(sent));
}

void BadNetwork::impair(Direction direction, size_t route, const unsigned char* data, unsigned int length,
                        unsigned int now)
{
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    if (mCut[direction] || chance(mRandom) < mFaults.loss || mPending.size() >= MAX_PENDING)
    {
        ++mLost;
        return;
    }
    int copies = 1;
    if (chance(mRandom) < mFaults.duplication)
    {
        ++mDoubled;
        copies = 2;
    }
    for (int copy = 0; copy < copies; ++copy)
    {
        unsigned int delay = mFaults.minDelay + mRandom() % (mFaults.maxDelay - mFaults.minDelay + 1);
        if (chance(mRandom) < mFaults.reordering)
        {
            ++mReordered;
            delay += mFaults.holdBack;
        }
        mPending.push_back(
            TDatagram{direction, route, now + delay, std::vector<unsigned char>(data, data + length)});
    }
}
} // namespace test
