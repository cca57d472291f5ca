// Encoding speed of the network layer: var-ints, a 20-field state codec round trip, and
// building and parsing one full 512-byte data packet.
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "network/networkmanager.h"
#include "network/networkobject.h"
#include "network/networkstatecodec.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
void VarIntEncodeDecode(benchmark::State& state)
{
    std::vector<unsigned int> values(1024);
    unsigned int seed = 1;
    for (auto& value : values)
    {
        seed = seed * 1664525u + 1013904223u;
        value = seed >> (seed % 29);
    }
    unsigned char buffer[1024 * 5];
    for (auto _ : state)
    {
        brix::NetworkEncodeStream out(buffer, sizeof(buffer));
        for (unsigned int value : values)
            out.encodeUIntVar(value);
        brix::NetworkDecodeStream in(buffer, out.getOffset());
        unsigned int sum = 0;
        for (size_t i = 0; i < values.size(); ++i)
            sum += in.decodeUIntVar();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(values.size()));
}
BENCHMARK(VarIntEncodeDecode);

// The state of a typical entity: ten integers, eight floats, two flags.
struct TwentyFields
{
    TwentyFields()
    {
        for (unsigned int i = 0; i < 10; ++i)
        {
            integers[i] = i * 37;
            codec.bind(&integers[i], 4 + i);
        }
        for (unsigned int i = 0; i < 8; ++i)
        {
            floats[i] = static_cast<float>(i) * 3.3f;
            codec.bind(&floats[i], -100.0f, 100.0f, 12);
        }
        codec.bind(&flags[0]);
        codec.bind(&flags[1]);
    }
    unsigned int integers[10];
    float floats[8];
    bool flags[2] = {true, false};
    brix::NetworkStateCodec codec;
};

void StateCodecRoundTrip(benchmark::State& state)
{
    TwentyFields fields;
    unsigned char buffer[64];
    for (auto _ : state)
    {
        brix::NetworkEncodeStream out(buffer, sizeof(buffer));
        fields.codec.encode(out);
        brix::NetworkDecodeStream in(buffer, out.getOffset());
        fields.codec.decode(in);
        benchmark::DoNotOptimize(fields.floats[3]);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(StateCodecRoundTrip);

class Entities : public brix::NetworkObject
{
public:
    void encodeNetworkData(unsigned short, brix::NetworkEncodeStream& stream, unsigned short) override
    {
        for (int i = 0; i < 5 && stream.getRemaining() >= mFields.codec.getSizeBytes(); ++i)
            mFields.codec.encode(stream);
    }
    void decodeNetworkData(unsigned short, brix::NetworkDecodeStream& stream, unsigned short) override
    {
        while (stream.getRemaining() >= mFields.codec.getSizeBytes())
            mFields.codec.decode(stream);
    }
    TwentyFields mFields;
};

// Fills whatever room is left, so that every packet is a full one.
class Padding : public brix::NetworkObject
{
public:
    void encodeNetworkData(unsigned short, brix::NetworkEncodeStream& stream, unsigned short) override
    {
        while (stream.getRemaining() > 0)
            stream.encodeUInt8(0);
    }
    void decodeNetworkData(unsigned short, brix::NetworkDecodeStream& stream, unsigned short) override
    {
        stream.skip(stream.getRemaining());
    }
};

class Manager : public brix::NetworkManager
{
public:
    Manager() : NetworkManager(5000, 50) {}
    void update() override {}
    using NetworkManager::decodeDataPacket;
    using NetworkManager::encodeDataPacket;
};

void DataPacketBuildAndParse(benchmark::State& state)
{
    Manager sender, receiver;
    Entities a, b, c, d;
    Entities* objects[] = {&a, &b, &c, &d};
    for (unsigned char id = 0; id < 4; ++id)
    {
        sender.registerObject(objects[id], id);
        receiver.registerObject(objects[id], id);
    }
    Padding padding;
    sender.registerObject(&padding, 4);
    receiver.registerObject(&padding, 4);
    brix::NetworkManager::TNodeState out, in;
    unsigned char packet[brix::NetworkManager::PACKET_SIZE];
    unsigned int now = 0;
    size_t bytes = 0;
    for (auto _ : state)
    {
        brix::NetworkEncodeStream stream(packet, sizeof(packet));
        stream.encodeUInt8(brix::NetworkManager::PACKET_DATA);
        // Every packet starts with the first object, as the rest fill it up.
        out.objectIndex = 0;
        sender.encodeDataPacket(0, stream, ++now, out);
        brix::NetworkDecodeStream parse(packet + 1, stream.getOffset() - 1);
        receiver.decodeDataPacket(0, parse, now, in);
        bytes += stream.getOffset();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.counters["bytes_per_packet"] =
        benchmark::Counter(static_cast<double>(bytes) / static_cast<double>(state.iterations()));
}
BENCHMARK(DataPacketBuildAndParse);
} // namespace
