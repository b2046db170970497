// connectToListServer: the ten attempts, the status texts, direct and proxied connections.

#include "exchange/connection_helpers.h"
#include "exchange/list_server_connection.h"
#include "exchange/scripted_peer.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

using reef::exchange::ConnectionStatusSink;
using reef::exchange::connectToListServer;
using reef::exchange::kProxyHttpConnect;
using reef::exchange::kProxySocks4;
using reef::exchange::ListServerAddress;
using reef::exchange::ProxySettings;
using reef::platform::Connection;
using reef::platform::ManualClock;
using reef::testing::PeerListener;
using reef::testing::PeerSocket;
using reef::testing::receiveFrom;
using reef::testing::ScriptedPeer;

// Stands in for the list window's status bar field 2.
struct StatusRecorder {
    std::mutex mutex;
    std::vector<std::string> texts;
    ConnectionStatusSink sink() {
        return [this](const std::string& text) {
            std::lock_guard lock(mutex);
            texts.push_back(text);
        };
    }
};

const std::vector<std::string> kTenFailures = {"Status: Verbindungsaufbau",
                                               "Status: Verbindungsaufbau (2/10)",
                                               "Status: Verbindungsaufbau (3/10)",
                                               "Status: Verbindungsaufbau (4/10)",
                                               "Status: Verbindungsaufbau (5/10)",
                                               "Status: Verbindungsaufbau (6/10)",
                                               "Status: Verbindungsaufbau (7/10)",
                                               "Status: Verbindungsaufbau (8/10)",
                                               "Status: Verbindungsaufbau (9/10)",
                                               "Status: Verbindungsaufbau (10/10)",
                                               "Status: Fehler (Server nicht gefunden)"};

ProxySettings proxyAt(std::uint16_t port, std::int32_t type) {
    ProxySettings proxy;
    proxy.host = "127.0.0.1";
    proxy.port = port;
    proxy.type = type;
    return proxy;
}

TEST(ConnectToListServer, DirectConnectionOnTheFirstAttempt) {
    PeerListener server;
    StatusRecorder status;
    Connection connection = connectToListServer(ProxySettings{}, status.sink(),
                                                ListServerAddress{"127.0.0.1", server.port()});
    ASSERT_TRUE(connection.isOpen());
    EXPECT_EQ(status.texts, std::vector<std::string>{"Status: Verbindungsaufbau"});
    PeerSocket peer = server.accept();
    ASSERT_TRUE(peer.valid());
    ASSERT_TRUE(connection.send(std::string("GET http://x/ HTTP/1.0\r\n\r\n")));
    EXPECT_EQ(peer.receiveUntil("\r\n\r\n"), "GET http://x/ HTTP/1.0\r\n\r\n");
}

TEST(ConnectToListServer, DirectConnectionByHostName) {
    PeerListener server;
    StatusRecorder status;
    Connection connection = connectToListServer(ProxySettings{}, status.sink(),
                                                ListServerAddress{"localhost", server.port()});
    EXPECT_TRUE(connection.isOpen());
    EXPECT_TRUE(server.accept().valid());
}

TEST(ConnectToListServer, UnreachableServerGivesTenAttemptsAndTheErrorText) {
    PeerListener boundOnly(false);
    StatusRecorder status;
    Connection connection = connectToListServer(ProxySettings{}, status.sink(),
                                                ListServerAddress{"127.0.0.1", boundOnly.port()});
    EXPECT_FALSE(connection.isOpen());
    EXPECT_EQ(status.texts, kTenFailures);
}

TEST(ConnectToListServer, AClosedWindowEndsTheAttemptsBeforeTheNextOne) {
    // The window check runs between attempts: a window closed during attempt n leaves n
    // attempts made, no error text, and no connection.
    PeerListener boundOnly(false);
    for (const int closedDuring : {1, 3, 9}) {
        StatusRecorder status;
        int checks = 0;
        Connection connection = connectToListServer(
            ProxySettings{}, status.sink(), ListServerAddress{"127.0.0.1", boundOnly.port()},
            reef::platform::systemClock(), [&] { return ++checks < closedDuring; });
        EXPECT_FALSE(connection.isOpen());
        EXPECT_EQ(checks, closedDuring);
        EXPECT_EQ(status.texts, std::vector<std::string>(kTenFailures.begin(),
                                                         kTenFailures.begin() + closedDuring));
    }
    StatusRecorder status;
    int checks = 0;
    EXPECT_FALSE(connectToListServer(ProxySettings{}, status.sink(),
                                     ListServerAddress{"127.0.0.1", boundOnly.port()},
                                     reef::platform::systemClock(),
                                     [&] {
                                         ++checks;
                                         return true;
                                     })
                     .isOpen());
    EXPECT_EQ(checks, 9) << "asked before attempts 2 to 10";
    EXPECT_EQ(status.texts, kTenFailures);
}

TEST(ConnectToListServer, ProxyWithoutPortFailsEveryAttempt) {
    // What a "Proxy.dat" with an "IP" line but no "Port" line gives.
    PeerListener server;
    StatusRecorder status;
    Connection connection = connectToListServer(proxyAt(0, kProxyHttpConnect), status.sink(),
                                                ListServerAddress{"127.0.0.1", server.port()});
    EXPECT_FALSE(connection.isOpen());
    EXPECT_EQ(status.texts, kTenFailures);
    // Nothing went to the server directly.
    EXPECT_FALSE(server.accept(0).valid());
}

TEST(ConnectToListServer, GoesThroughTheProxyToTheServersHostAndPort) {
    std::string request;
    std::string serverSaw;
    StatusRecorder status;
    {
        ScriptedPeer proxy([&](PeerListener& listener) {
            PeerSocket client = listener.accept();
            request = client.receiveUntil("\r\n\r\n");
            client.sendAll("HTTP/1.0 200 Connection established\r\n\r\n");
            serverSaw = client.receiveUntil("\r\n\r\n");
            client.sendAll("HTTP/1.0 200 OK\r\n\r\n|>Update<|");
        });
        Connection connection =
            connectToListServer(proxyAt(proxy.port(), kProxyHttpConnect), status.sink(),
                                ListServerAddress{"reef.example.org", 8080});
        ASSERT_TRUE(connection.isOpen());
        ASSERT_TRUE(connection.send(std::string("GET /x HTTP/1.0\r\n\r\n")));
        EXPECT_EQ(receiveFrom(connection, 29), "HTTP/1.0 200 OK\r\n\r\n|>Update<|");
    }
    EXPECT_EQ(request, "CONNECT reef.example.org:8080 HTTP/1.0\r\n\r\n");
    EXPECT_EQ(serverSaw, "GET /x HTTP/1.0\r\n\r\n");
    EXPECT_EQ(status.texts, std::vector<std::string>{"Status: Verbindungsaufbau"});
}

TEST(ConnectToListServer, SucceedsOnTheTenthAttempt) {
    int refusals = 0;
    std::string serverSaw;
    StatusRecorder status;
    {
        // An HTTP proxy that refuses nine times, then lets the tenth attempt through.
        ScriptedPeer proxy([&](PeerListener& listener) {
            for (int attempt = 1; attempt <= 10; ++attempt) {
                PeerSocket client = listener.accept();
                if (!client.valid()) {
                    return;
                }
                client.receiveUntil("\r\n\r\n");
                if (attempt < 10) {
                    client.sendAll("HTTP/1.0 407 Proxy Authentication Required\r\n\r\n");
                    if (client.seesEnd()) {
                        ++refusals;
                    }
                    continue;
                }
                client.sendAll("HTTP/1.0 200 Connection established\r\n\r\n");
                serverSaw = client.receiveExactly(5);
                client.sendAll("ready");
            }
        });
        Connection connection =
            connectToListServer(proxyAt(proxy.port(), kProxyHttpConnect), status.sink(),
                                ListServerAddress{"reef.example.org", 80});
        ASSERT_TRUE(connection.isOpen());
        ASSERT_TRUE(connection.send(std::string("hello")));
        EXPECT_EQ(receiveFrom(connection, 5), "ready");
    }
    EXPECT_EQ(refusals, 9);
    EXPECT_EQ(serverSaw, "hello");
    std::vector<std::string> expected(kTenFailures.begin(), kTenFailures.end() - 1);
    EXPECT_EQ(status.texts, expected);
}

// SOCKS4 cannot carry a host name: each attempt ends right after reaching the proxy.
TEST(ConnectToListServer, Socks4WithAServerNameFailsTenTimes) {
    int emptyConnections = 0;
    StatusRecorder status;
    {
        ScriptedPeer proxy([&](PeerListener& listener) {
            for (int attempt = 1; attempt <= 10; ++attempt) {
                PeerSocket client = listener.accept();
                if (client.seesEnd()) {
                    ++emptyConnections;
                }
            }
        });
        Connection connection =
            connectToListServer(proxyAt(proxy.port(), kProxySocks4), status.sink(),
                                ListServerAddress{"reef.example.org", 80});
        EXPECT_FALSE(connection.isOpen());
    }
    EXPECT_EQ(emptyConnections, 10);
    EXPECT_EQ(status.texts, kTenFailures);
}

TEST(ConnectToListServer, UnknownProxyTypeFailsTenTimes) {
    StatusRecorder status;
    {
        ScriptedPeer proxy([&](PeerListener& listener) {
            for (int attempt = 1; attempt <= 10; ++attempt) {
                listener.accept().seesEnd();
            }
        });
        EXPECT_FALSE(connectToListServer(proxyAt(proxy.port(), 7), status.sink(),
                                         ListServerAddress{"10.1.2.3", 80})
                         .isOpen());
    }
    EXPECT_EQ(status.texts, kTenFailures);
}

TEST(ConnectToListServer, SilentProxyCostsTenTimeOutsOfTenSeconds) {
    ManualClock clock;
    StatusRecorder status;
    {
        ScriptedPeer proxy([&](PeerListener& listener) {
            for (int attempt = 1; attempt <= 10; ++attempt) {
                PeerSocket client = listener.accept();
                client.receiveUntil("\r\n\r\n");
                client.seesEnd();
            }
        });
        EXPECT_FALSE(connectToListServer(proxyAt(proxy.port(), kProxyHttpConnect), status.sink(),
                                         ListServerAddress{"10.1.2.3", 80}, clock)
                         .isOpen());
    }
    EXPECT_EQ(status.texts, kTenFailures);
    EXPECT_GT(clock.tickCountMs(), 10 * 10000);
    EXPECT_LT(clock.tickCountMs(), 10 * 10100);
}

TEST(ConnectToListServer, WorksWithoutAStatusSink) {
    PeerListener server;
    EXPECT_TRUE(
        connectToListServer(ProxySettings{}, nullptr, ListServerAddress{"127.0.0.1", server.port()})
            .isOpen());
}

} // namespace
