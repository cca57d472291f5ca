// Traffic over loopback: raw datagrams per second, and the bytes a server sends each client
// per second at the default packet rate when every packet is full.
#include "network/networkclient.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "network/networkobject.h"
#include "network/networkserver.h"
#include "network/udpsocket.h"
#include "toolkit/thread.h"

#include "tests/support/loopback.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{
void LoopbackDatagrams(benchmark::State& state)
{
    unsigned short port = test::freeUdpPort();
    brix::UDPSocket sender, receiver;
    receiver.open(port);
    sender.open(0);
    brix::NetworkAddress target(test::LOOPBACK, port);
    unsigned char packet[brix::NetworkManager::PACKET_SIZE] = {2};
    unsigned char buffer[1024];
    unsigned int length = 0;
    for (auto _ : state)
    {
        sender.transmit(packet, sizeof(packet), target);
        while (!receiver.receive(buffer, sizeof(buffer), length))
            receiver.wait(10);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(sizeof(packet)));
}
BENCHMARK(LoopbackDatagrams);

// Always has more to say than a packet holds.
class Flood : public brix::NetworkObject
{
public:
    void encodeNetworkData(unsigned short, brix::NetworkEncodeStream& stream, unsigned short) override
    {
        while (stream.getRemaining() > 0 && stream.getOffset() < 200)
            stream.encodeUInt8(0xAB);
    }
    void decodeNetworkData(unsigned short, brix::NetworkDecodeStream&, unsigned short) override {}
};

class Host : public brix::NetworkServer::Listener
{
public:
    unsigned short onClientConnect(const std::string&, brix::NetworkDecodeStream&, unsigned int&) override
    {
        return 1;
    }
    void onClientDisconnect(unsigned short, const std::string&, unsigned int) override {}
    void onAnnounceVerification(bool) override {}
};

class Guest : public brix::NetworkClient::Listener
{
public:
    void onConnect() override {}
    void onDisconnect(unsigned int) override {}
};

// Three seconds of a connected pair at the default interval, polled every 5 ms like the game's
// ticks. The limit is the packet size times the packet rate.
void BytesPerClientPerSecond(benchmark::State& state)
{
    for (auto _ : state)
    {
        unsigned short port = test::freeUdpPort();
        Host host;
        Guest guest;
        Flood a, b, c;
        brix::NetworkServer server;
        brix::NetworkClient client;
        server.registerObject(&a, 1);
        server.registerObject(&b, 2);
        server.registerObject(&c, 3);
        client.registerObject(&a, 1);
        server.start(port, &host, "", "", 0, 0);
        client.connect("127.0.0.1:" + std::to_string(port), nullptr, 0, &guest);
        for (int i = 0; i < 200 && client.getConnectionState() != brix::NetworkManager::CONNECTED; ++i)
        {
            client.update();
            server.update();
            brix::Thread::sleep(5);
        }
        server.resetStatistics();
        unsigned int start = brix::Thread::timer();
        while (brix::Thread::timer() - start < 3000)
        {
            client.update();
            server.update();
            brix::Thread::sleep(5);
        }
        double seconds = (brix::Thread::timer() - start) / 1000.0;
        const auto& statistics = server.getStatistics();
        state.counters["bytes_per_client_per_second"] = statistics.transmittedBytes / seconds;
        state.counters["packets_per_client_per_second"] = statistics.transmittedPackets / seconds;
        state.counters["limit_bytes_per_second"] =
            brix::NetworkManager::PACKET_SIZE * 1000.0 / server.getUpdateInterval();
        server.stop(0);
        client.disconnect(0, true);
    }
}
BENCHMARK(BytesPerClientPerSecond)->Iterations(1)->Unit(benchmark::kMillisecond);
} // namespace
