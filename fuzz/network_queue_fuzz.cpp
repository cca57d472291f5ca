// Feeds arbitrary chunks to a reliable message queue's receive path and checks that every
// message it delivers fits the queue.
#include "network/networkdecodestream.h"
#include "network/networkmessagequeue.h"

#include <cstddef>
#include <cstdint>

namespace
{
const unsigned int BUFFER_SIZE = 300;

class Inbox : public brix::NetworkMessageQueue::Listener
{
public:
    void onMessage(unsigned short node, const unsigned char* data, unsigned short length) override
    {
        if (node != 2 || length + 2u > BUFFER_SIZE)
            __builtin_trap();
        for (unsigned short i = 0; i < length; ++i)
            mSum += data[i];
    }
    unsigned int mSum = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    brix::NetworkMessageQueue queue(2, BUFFER_SIZE, 200);
    Inbox inbox;
    // Each chunk is a length byte and that many bytes; odd inputs use a listener, even ones drain by hand.
    bool listening = size > 0 && (data[0] & 1);
    if (listening)
        queue.setListener(&inbox);
    size_t at = size > 0 ? 1 : 0;
    while (at < size)
    {
        size_t length = data[at++];
        if (length > size - at)
            length = size - at;
        brix::NetworkDecodeStream chunk(data + at, static_cast<unsigned int>(length));
        queue.decodeNetworkData(2, chunk, 0);
        if (chunk.getOffset() > chunk.getBufferSize())
            __builtin_trap();
        if (!listening && queue.receive(&inbox) < 0)
            __builtin_trap();
        at += length;
    }
    queue.receive(&inbox);
    return 0;
}
