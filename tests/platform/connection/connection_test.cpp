// Connection against a real TCP peer on the loopback interface.

#include "platform/connection.h"
#include "platform/connection/sockets_environment.h"
#include "platform/connection/tcp_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

REEF_START_SOCKETS_FOR_TESTS;

namespace {

using reef::platform::Connection;
using reef::testing::PeerListener;
using reef::testing::PeerSocket;

// Polls dataAvailable() until it turns true, for at most a few seconds: the bytes a peer sent
// reach this side a moment later. The bound only keeps a broken build from hanging.
bool becomesAvailable(const Connection& connection) {
    for (int i = 0; i < 5000; ++i) {
        if (connection.dataAvailable()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

std::string receiveExactly(Connection& connection, std::size_t count) {
    std::string bytes;
    char buffer[1024];
    while (bytes.size() < count) {
        const long got = connection.receive(buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

TEST(Connection, OpensAnIPv4LiteralAndCarriesBytesBothWays) {
    PeerListener listener;
    ASSERT_TRUE(listener.valid());
    Connection connection;
    ASSERT_TRUE(connection.open("127.0.0.1", listener.port()));
    EXPECT_TRUE(connection.isOpen());
    PeerSocket peer = listener.accept();
    ASSERT_TRUE(peer.valid());

    ASSERT_TRUE(connection.send(std::string("GET / HTTP/1.0\r\n\r\n")));
    EXPECT_EQ(peer.receiveExactly(18), "GET / HTTP/1.0\r\n\r\n");

    ASSERT_TRUE(peer.sendAll("answer"));
    EXPECT_EQ(receiveExactly(connection, 6), "answer");
}

TEST(Connection, LooksUpAHostName) {
    PeerListener listener;
    ASSERT_TRUE(listener.valid());
    Connection connection;
    ASSERT_TRUE(connection.open("localhost", listener.port()));
    PeerSocket peer = listener.accept();
    ASSERT_TRUE(peer.valid());
    ASSERT_TRUE(peer.sendAll("x"));
    EXPECT_EQ(receiveExactly(connection, 1), "x");
}

TEST(Connection, DataAvailableOnlyWhileBytesAreWaiting) {
    PeerListener listener;
    Connection connection;
    ASSERT_TRUE(connection.open("127.0.0.1", listener.port()));
    PeerSocket peer = listener.accept();
    ASSERT_TRUE(peer.valid());

    EXPECT_FALSE(connection.dataAvailable());
    ASSERT_TRUE(peer.sendAll("abc"));
    ASSERT_TRUE(becomesAvailable(connection));
    // Asking again consumes nothing.
    EXPECT_TRUE(connection.dataAvailable());
    EXPECT_EQ(receiveExactly(connection, 3), "abc");
    EXPECT_FALSE(connection.dataAvailable());
}

TEST(Connection, ReceiveReadsAtMostTheCapacity) {
    PeerListener listener;
    Connection connection;
    ASSERT_TRUE(connection.open("127.0.0.1", listener.port()));
    PeerSocket peer = listener.accept();
    ASSERT_TRUE(peer.sendAll("0123456789"));
    ASSERT_TRUE(becomesAvailable(connection));
    char buffer[4] = {};
    const long got = connection.receive(buffer, sizeof buffer);
    ASSERT_GT(got, 0);
    ASSERT_LE(got, 4);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(got)),
              std::string("0123").substr(0, got));
    EXPECT_EQ(receiveExactly(connection, 10 - static_cast<std::size_t>(got)),
              std::string("0123456789").substr(static_cast<std::size_t>(got)));
}

TEST(Connection, EndOfStreamIsAvailableAndReceivesZero) {
    PeerListener listener;
    Connection connection;
    ASSERT_TRUE(connection.open("127.0.0.1", listener.port()));
    PeerSocket peer = listener.accept();
    ASSERT_TRUE(peer.sendAll("last"));
    peer.close();

    EXPECT_EQ(receiveExactly(connection, 4), "last");
    // The closed far end makes receive() return at once, so dataAvailable() says so.
    ASSERT_TRUE(becomesAvailable(connection));
    char buffer[16];
    EXPECT_EQ(connection.receive(buffer, sizeof buffer), 0);
}

TEST(Connection, BlockingReceiveWaitsForLateData) {
    PeerListener listener;
    Connection connection;
    ASSERT_TRUE(connection.open("127.0.0.1", listener.port()));
    PeerSocket peer = listener.accept();
    ASSERT_TRUE(peer.valid());
    std::thread late([&peer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        peer.sendAll("late");
    });
    char buffer[16];
    const long got = connection.receive(buffer, sizeof buffer);
    late.join();
    ASSERT_GT(got, 0);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(got)),
              std::string("late").substr(0, got));
}

// The reader's wait: nothing within the window is false; bytes that come during a long wait
// end it. What one call took from the socket beyond a small block comes out block by block,
// in order, also after the connection has been moved, and is waiting as long as some is left.
TEST(Connection, WaitsForBytesAndHandsOutWhatCameInOrder) {
    PeerListener listener;
    Connection connection;
    ASSERT_TRUE(connection.open("127.0.0.1", listener.port()));
    PeerSocket peer = listener.accept();
    ASSERT_TRUE(peer.valid());
    EXPECT_FALSE(connection.waitForData(20));

    std::string sent(3000, '\0');
    for (std::size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<char>('a' + i % 26);
    }
    std::thread late([&peer, &sent] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        peer.sendAll(sent);
        peer.close();
    });
    const bool came = connection.waitForData(10000);
    late.join();
    ASSERT_TRUE(came);

    std::string received;
    char buffer[1024];
    long got = connection.receive(buffer, 100);
    ASSERT_GT(got, 0);
    ASSERT_LE(got, 100);
    received.append(buffer, static_cast<std::size_t>(got));
    Connection moved(std::move(connection));
    while (received.size() < sent.size()) {
        ASSERT_TRUE(moved.dataAvailable());
        got = moved.receive(buffer, sizeof buffer);
        ASSERT_GT(got, 0) << "after " << received.size() << " bytes";
        ASSERT_LE(got, 1024);
        received.append(buffer, static_cast<std::size_t>(got));
    }
    EXPECT_TRUE(received == sent);
    EXPECT_TRUE(moved.waitForData(10000)) << "the end of the stream is there to be read";
    EXPECT_EQ(moved.receive(buffer, sizeof buffer), 0);
    EXPECT_FALSE(connection.waitForData(0));
}

TEST(Connection, SendsALargeBlockWhole) {
    PeerListener listener;
    Connection connection;
    ASSERT_TRUE(connection.open("127.0.0.1", listener.port()));
    PeerSocket peer = listener.accept();
    ASSERT_TRUE(peer.valid());
    std::string block(3 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<char>(i * 7 + i / 251);
    }
    // The peer reads on its own thread: a block this size does not fit the socket buffers.
    std::string received;
    std::thread reader([&] { received = peer.receiveExactly(block.size()); });
    const bool sent = connection.send(block.data(), block.size());
    reader.join();
    EXPECT_TRUE(sent);
    EXPECT_TRUE(received == block);
}

TEST(Connection, RefusedConnectFailsAndLeavesItClosed) {
    PeerListener boundOnly(false);
    ASSERT_TRUE(boundOnly.valid());
    Connection connection;
    EXPECT_FALSE(connection.open("127.0.0.1", boundOnly.port()));
    EXPECT_FALSE(connection.isOpen());
    EXPECT_FALSE(connection.dataAvailable());
    char buffer[4];
    EXPECT_LT(connection.receive(buffer, sizeof buffer), 0);
    EXPECT_FALSE(connection.send(std::string("x")));
}

TEST(Connection, UnknownNameAndEmptyHostFail) {
    Connection connection;
    EXPECT_FALSE(connection.open("no-such-host.invalid", 80));
    EXPECT_FALSE(connection.open("", 80));
    EXPECT_FALSE(connection.isOpen());
}

TEST(Connection, SendToAVanishedPeerFailsWithoutEndingTheProcess) {
    PeerListener listener;
    Connection connection;
    ASSERT_TRUE(connection.open("127.0.0.1", listener.port()));
    PeerSocket peer = listener.accept();
    ASSERT_TRUE(peer.valid());
    peer.close();
    listener.close();
    // The first send may still be taken; the peer's reset makes a later one fail. Without
    // protection against SIGPIPE the test program would end here.
    bool failed = false;
    for (int i = 0; i < 1000 && !failed; ++i) {
        failed = !connection.send(std::string(1024, 'x'));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(failed);
}

TEST(Connection, MoveHandsTheSocketOver) {
    PeerListener listener;
    Connection first;
    ASSERT_TRUE(first.open("127.0.0.1", listener.port()));
    PeerSocket peer = listener.accept();
    Connection second(std::move(first));
    EXPECT_FALSE(first.isOpen());
    EXPECT_TRUE(second.isOpen());
    Connection third;
    third = std::move(second);
    EXPECT_FALSE(second.isOpen());
    ASSERT_TRUE(third.send(std::string("moved")));
    EXPECT_EQ(peer.receiveExactly(5), "moved");
    third.close();
    third.close();
    EXPECT_FALSE(third.isOpen());
    // The far end sees the close.
    EXPECT_TRUE(peer.seesEnd());
}

} // namespace
