#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "network/networkmessagequeue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using brix::NetworkMessageQueue;
using brix::NetworkStream;

namespace
{
class Inbox : public NetworkMessageQueue::Listener
{
public:
    void onMessage(unsigned short node, const unsigned char* data, unsigned short length) override
    {
        mNodes.push_back(node);
        mMessages.emplace_back(reinterpret_cast<const char*>(data), length);
    }
    std::vector<unsigned short> mNodes;
    std::vector<std::string> mMessages;
};

bool send(NetworkMessageQueue& queue, const std::string& text)
{
    return queue.transmit(reinterpret_cast<const unsigned char*>(text.data()),
                          static_cast<unsigned short>(text.size()));
}

// The chunk the queue puts into packet sequence for node 3; empty when none.
std::vector<unsigned char> chunk(NetworkMessageQueue& queue, unsigned short sequence, unsigned int room = 509)
{
    std::vector<unsigned char> buffer(room);
    brix::NetworkEncodeStream stream(buffer.data(), room);
    queue.encodeNetworkData(3, stream, sequence);
    buffer.resize(stream.getResult() == NetworkStream::SUCCESS ? stream.getOffset() : 0);
    return buffer;
}

NetworkStream::Result deliver(NetworkMessageQueue& queue, std::vector<unsigned char> bytes)
{
    brix::NetworkDecodeStream stream(bytes.data(), static_cast<unsigned int>(bytes.size()));
    queue.decodeNetworkData(3, stream, 0);
    return stream.getResult();
}
} // namespace

TEST(NetworkMessageQueue, RefusesWhatTheBufferCannotHold)
{
    NetworkMessageQueue queue(3, 1000, 400);
    std::string fits(998, 'a');
    std::string tooLong(999, 'a');
    EXPECT_FALSE(send(queue, tooLong));
    EXPECT_TRUE(send(queue, fits));
    EXPECT_FALSE(send(queue, ""));
    queue.reset();
    EXPECT_TRUE(send(queue, ""));
}

TEST(NetworkMessageQueue, FormsABlockOnTheFirstAcknowledgementAndRepeatsIt)
{
    NetworkMessageQueue sender(3, 1000, 400), receiver(3, 1000, 400);
    Inbox inbox;
    send(sender, "one");
    send(sender, "two");
    send(sender, "three");
    EXPECT_TRUE(chunk(sender, 9).empty());
    sender.acknowledgeNetworkData(4, 9);
    EXPECT_TRUE(chunk(sender, 9).empty());
    sender.acknowledgeNetworkData(3, 9);

    auto first = chunk(sender, 10);
    ASSERT_EQ(first.size(), 1u + 5 + 5 + 7);
    EXPECT_EQ(first[0], 2);
    EXPECT_EQ(chunk(sender, 11), first);
    EXPECT_EQ(chunk(sender, 12), first);
    // Not by the packet the block first went in, but by any later one that carried it.
    sender.acknowledgeNetworkData(3, 10);
    EXPECT_EQ(chunk(sender, 13), first);
    sender.acknowledgeNetworkData(3, 11);
    EXPECT_TRUE(chunk(sender, 14).empty());

    EXPECT_EQ(deliver(receiver, first), NetworkStream::SUCCESS);
    EXPECT_EQ(deliver(receiver, first), NetworkStream::SUCCESS);
    EXPECT_EQ(receiver.receive(&inbox), 3);
    EXPECT_EQ(inbox.mMessages, (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(inbox.mNodes[0], 3);
    EXPECT_EQ(receiver.receive(&inbox), 0);
}

TEST(NetworkMessageQueue, ReleasesABlockOnlyOnAPacketThatCarriedIt)
{
    NetworkMessageQueue sender(3, 1000, 400);
    send(sender, "kept");
    sender.acknowledgeNetworkData(3, 1);
    auto block = chunk(sender, 10);
    ASSERT_FALSE(block.empty());
    // Packet 11 had no room for it and packet 10 was lost: the acknowledgement of 11 proves nothing.
    EXPECT_TRUE(chunk(sender, 11, 4).empty());
    sender.acknowledgeNetworkData(3, 11);
    EXPECT_EQ(chunk(sender, 12), block);
    sender.acknowledgeNetworkData(3, 12);
    EXPECT_TRUE(chunk(sender, 13).empty());

    // On a slow link the acknowledgements lag many packets behind: one of a packet that
    // carried the block still releases it, however far back.
    send(sender, "slow");
    sender.acknowledgeNetworkData(3, 13);
    block = chunk(sender, 20);
    ASSERT_FALSE(block.empty());
    EXPECT_TRUE(chunk(sender, 21, 4).empty());
    for (unsigned short sequence = 22; sequence < 100; ++sequence)
        ASSERT_EQ(chunk(sender, sequence), block);
    sender.acknowledgeNetworkData(3, 21);
    EXPECT_EQ(chunk(sender, 100), block);
    sender.acknowledgeNetworkData(3, 23);
    EXPECT_TRUE(chunk(sender, 101).empty());
}

TEST(NetworkMessageQueue, DeliversASplitMessageOnlyWhenWhole)
{
    NetworkMessageQueue sender(3, 100, 10), receiver(3, 100, 10);
    Inbox inbox;
    receiver.setListener(&inbox);
    send(sender, "0123456789abc");
    unsigned short sequence = 1;
    sender.acknowledgeNetworkData(3, sequence);
    auto first = chunk(sender, ++sequence);
    ASSERT_EQ(first.size(), 11u);
    deliver(receiver, first);
    EXPECT_TRUE(inbox.mMessages.empty());
    EXPECT_EQ(chunk(sender, ++sequence), first);
    sender.acknowledgeNetworkData(3, sequence);
    auto second = chunk(sender, ++sequence);
    ASSERT_EQ(second.size(), 1u + 5);
    EXPECT_EQ(second[0], first[0] + 1);
    deliver(receiver, second);
    EXPECT_EQ(inbox.mMessages, (std::vector<std::string>{"0123456789abc"}));

    // After a reset both ends start again from the same counters.
    sender.reset();
    receiver.reset();
    send(sender, "again");
    sender.acknowledgeNetworkData(3, ++sequence);
    auto fresh = chunk(sender, ++sequence);
    ASSERT_FALSE(fresh.empty());
    EXPECT_EQ(fresh[0], 2);
    deliver(receiver, fresh);
    deliver(receiver, fresh);
    EXPECT_EQ(inbox.mMessages.size(), 2u);
}

TEST(NetworkMessageQueue, TakesEveryBlockOnceWholeMessagesAreDelivered)
{
    NetworkMessageQueue sender(3, 100, 30), receiver(3, 100, 30);
    Inbox inbox;
    // A message that fills the queue, and one queued as soon as there is room: the fourth
    // block ends the first and starts the second, while 90 bytes of the first wait.
    std::string longest(98, 'M');
    send(sender, longest);
    unsigned short sequence = 1;
    sender.acknowledgeNetworkData(3, sequence);
    bool queued = false;
    for (int i = 0; i < 6; ++i)
    {
        auto block = chunk(sender, ++sequence);
        chunk(sender, ++sequence);
        if (!queued)
            queued = send(sender, std::string(28, 'n'));
        sender.acknowledgeNetworkData(3, sequence);
        if (!block.empty())
        {
            EXPECT_EQ(deliver(receiver, block), NetworkStream::SUCCESS) << i;
        }
    }
    EXPECT_EQ(receiver.receive(&inbox), 2);
    ASSERT_EQ(inbox.mMessages.size(), 2u);
    EXPECT_EQ(inbox.mMessages[0], longest);

    // Left undrained, the ring refuses a block it cannot hold, and takes it once drained.
    NetworkMessageQueue full(3, 20, 20);
    std::vector<unsigned char> twoMessages = {1, 18, 0};
    twoMessages.resize(3 + 18, 'a');
    twoMessages.insert(twoMessages.end(), {16, 0});
    twoMessages.resize(twoMessages.size() + 16, 'b');
    ASSERT_EQ(deliver(full, twoMessages), NetworkStream::SUCCESS);
    std::vector<unsigned char> more(2 + 20, 'c');
    more[0] = 2;
    more[1] = 18;
    more[2] = 0;
    EXPECT_EQ(deliver(full, more), NetworkStream::BUFFER_OVERFLOW);
    EXPECT_EQ(full.receive(&inbox), 2);
    EXPECT_EQ(deliver(full, more), NetworkStream::SUCCESS);
    EXPECT_EQ(full.receive(&inbox), 1);
}

TEST(NetworkMessageQueue, ImpossibleLengthIsInvalidData)
{
    NetworkMessageQueue receiver(3, 100, 50);
    Inbox inbox;
    std::vector<unsigned char> good = {1, 2, 0, 'o', 'k', 0xFF, 0xFF};
    EXPECT_EQ(deliver(receiver, good), NetworkStream::INVALID_DATA);
    // What came before the bad length still arrives; nothing after it is kept.
    EXPECT_EQ(receiver.receive(&inbox), 1);
    EXPECT_EQ(inbox.mMessages, (std::vector<std::string>{"ok"}));
    EXPECT_EQ(receiver.receive(&inbox), 0);

    // A chunk shorter than a counter and one byte is not a block.
    EXPECT_EQ(deliver(receiver, {5}), NetworkStream::SUCCESS);
}

TEST(NetworkMessageQueue, ExchangeMovesMessagesInMemory)
{
    NetworkMessageQueue local(0, 600, 100), remote(0, 600, 100);
    Inbox localInbox, remoteInbox;
    std::string big(300, 'b');
    send(local, big);
    send(local, "small");
    send(remote, "back");
    local.exchange(&remote);
    EXPECT_EQ(remote.receive(&remoteInbox), 2);
    EXPECT_EQ(remoteInbox.mMessages[0], big);
    EXPECT_EQ(local.receive(&localInbox), 1);
    EXPECT_EQ(localInbox.mMessages[0], "back");
    EXPECT_EQ(local.receive(nullptr), 0);
}
