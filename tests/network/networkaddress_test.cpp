#include "network/networkaddress.h"
#include "network/tcpsocket.h"
#include "network/udpsocket.h"

#include "support/logcapture.h"
#include "support/loopback.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using brix::NetworkAddress;

TEST(NetworkAddress, ParsesDottedTextWithoutLookingUpBadNumbers)
{
    NetworkAddress plain("10.0.0.1");
    EXPECT_TRUE(plain.isValid());
    EXPECT_EQ(plain.getAddress(), 0x0A000001u);
    EXPECT_EQ(plain.getPort(), 0);
    NetworkAddress full("192.168.1.5:27015");
    EXPECT_EQ(full.toString(), "192.168.1.5:27015");
    EXPECT_EQ(full, NetworkAddress(0xC0A80105, 27015));
    EXPECT_EQ(NetworkAddress("10.0.0.1:65535").getPort(), 65535);
    EXPECT_FALSE(NetworkAddress("10.0.0.1:65536").isValid());
    EXPECT_EQ(NetworkAddress("255.0.0.1:80").getAddress(), 0xFF000001u);
    EXPECT_FALSE(NetworkAddress("256.0.0.1:80").isValid());
    {
        // Numbers too long to hold are too large, not missing: no port 0, no look-up.
        test::LogCapture log;
        EXPECT_FALSE(NetworkAddress("10.0.0.1:99999999999").isValid());
        EXPECT_FALSE(NetworkAddress("99999999999.0.0.1:80").isValid());
        EXPECT_EQ(NetworkAddress("10.0.0.1:000000000080").getPort(), 80);
        EXPECT_TRUE(log.errors().empty());
    }
    EXPECT_FALSE(NetworkAddress("localhost:65536").isValid());
    EXPECT_FALSE(NetworkAddress("localhost:x").isValid());

    NetworkAddress named("localhost:80");
    EXPECT_TRUE(named.isValid());
    EXPECT_EQ(named.getAddress(), test::LOOPBACK);
    EXPECT_EQ(named.getPort(), 80);
    EXPECT_EQ(NetworkAddress("localhost").getPort(), 0);
    EXPECT_FALSE(NetworkAddress("no-such-host.invalid:80").isValid());
    EXPECT_FALSE(NetworkAddress("").isValid());
}

TEST(NetworkAddress, InvalidAddressesAreNeverEqual)
{
    NetworkAddress a, b;
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a != b);
    EXPECT_EQ(a.toString(), "0.0.0.0:0");
    NetworkAddress c(1, 2), d(1, 2);
    EXPECT_TRUE(c == d);
    EXPECT_FALSE(c != d);
    c.setInvalid();
    EXPECT_TRUE(c != d);
}

TEST(UDPSocket, ExchangesDatagramsAndReportsTheirSender)
{
    brix::UDPSocket a, b;
    unsigned short portB = test::freeUdpPort();
    ASSERT_TRUE(a.open(0));
    ASSERT_TRUE(b.open(portB));
    unsigned char buffer[1024];
    unsigned int length = 0;
    EXPECT_FALSE(b.receive(buffer, sizeof(buffer), length));
    EXPECT_FALSE(b.wait(0));
    // No transmit address yet: refused quietly.
    EXPECT_FALSE(a.transmit(buffer, 1));

    a.setTransmitAddress(NetworkAddress(test::LOOPBACK, portB));
    const unsigned char hello[] = {'h', 'i'};
    ASSERT_TRUE(a.transmit(hello, sizeof(hello)));
    ASSERT_TRUE(b.wait(1000));
    ASSERT_TRUE(b.receive(buffer, sizeof(buffer), length));
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(b.getRemoteAddress().getAddress(), test::LOOPBACK);

    // A datagram longer than the buffer is cut to it.
    unsigned char big[700] = {};
    ASSERT_TRUE(b.transmit(big, sizeof(big), b.getRemoteAddress()));
    ASSERT_TRUE(a.wait(1000));
    ASSERT_TRUE(a.receive(buffer, 513, length));
    EXPECT_EQ(length, 513u);

    NetworkAddress local = brix::UDPSocket::getLocalAddressTo(NetworkAddress(test::LOOPBACK, portB));
    EXPECT_EQ(local.getAddress(), test::LOOPBACK);
    EXPECT_FALSE(brix::UDPSocket::getLocalAddressTo(NetworkAddress()).isValid());

    a.close();
    EXPECT_FALSE(a.transmit(hello, sizeof(hello)));
    EXPECT_FALSE(a.receive(buffer, sizeof(buffer), length));
}

TEST(TCPSocket, ConnectsTransfersAndReceivesAllUntilClose)
{
    brix::TCPSocket listener;
    unsigned short port = test::freeLoopbackPort(SOCK_STREAM);
    ASSERT_TRUE(listener.listen(port));
    EXPECT_EQ(listener.accept(), nullptr);

    brix::TCPSocket client;
    ASSERT_TRUE(client.connect(NetworkAddress(test::LOOPBACK, port), 2000));
    EXPECT_TRUE(client.isConnected());
    std::unique_ptr<brix::TCPSocket> served;
    test::pollUntil([&] { served.reset(listener.accept()); }, [&] { return served != nullptr; }, 2000);
    ASSERT_NE(served, nullptr);
    EXPECT_EQ(served->getRemoteAddress().getAddress(), test::LOOPBACK);

    std::string text(5000, 'k');
    ASSERT_TRUE(served->transmit(reinterpret_cast<const unsigned char*>(text.data()),
                                 static_cast<unsigned int>(text.size())));
    served->close();
    std::string received;
    EXPECT_TRUE(client.receiveAll(received, 0, 2000, 5000));
    EXPECT_EQ(received, text);
    EXPECT_FALSE(client.isConnected());
}

TEST(TCPSocket, ReceiveAllStopsAtItsLimits)
{
    brix::TCPSocket listener;
    unsigned short port = test::freeLoopbackPort(SOCK_STREAM);
    ASSERT_TRUE(listener.listen(port));
    brix::TCPSocket client;
    ASSERT_TRUE(client.connect(NetworkAddress(test::LOOPBACK, port), 2000));
    std::unique_ptr<brix::TCPSocket> served;
    test::pollUntil([&] { served.reset(listener.accept()); }, [&] { return served != nullptr; }, 2000);
    ASSERT_NE(served, nullptr);

    // Silence: the idle time-out ends the wait.
    std::string out;
    EXPECT_FALSE(client.receiveAll(out, 0, 50, 0));

    std::string text(3000, 'x');
    served->transmit(reinterpret_cast<const unsigned char*>(text.data()),
                     static_cast<unsigned int>(text.size()));
    EXPECT_FALSE(client.receiveAll(out, 1000, 500, 1000));

    brix::TCPSocket refused;
    EXPECT_FALSE(refused.connect(NetworkAddress(test::LOOPBACK, test::freeLoopbackPort(SOCK_STREAM)), 500));
    EXPECT_FALSE(refused.connect(NetworkAddress(), 500));
}
