// Handshakes with real proxy servers from Debian's packages (tinyproxy, dante-server,
// microsocks), each started on a free loopback port for the test. Behind the proxy an echo
// server stands in for the list server, so every byte exchanged after the handshake shows
// that the stream is clean.

#include "exchange/connection_helpers.h"
#include "exchange/list_server_connection.h"
#include "exchange/proxy.h"
#include "exchange/proxy_process.h"
#include "exchange/scripted_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using reef::exchange::connectThroughProxy;
using reef::exchange::connectToListServer;
using reef::exchange::kProxyHttpConnect;
using reef::exchange::kProxySocks4;
using reef::exchange::kProxySocks5;
using reef::exchange::ListServerAddress;
using reef::exchange::ProxySettings;
using reef::platform::Connection;
using reef::platform::systemClock;
using reef::testing::echoesThrough;
using reef::testing::EchoServer;
using reef::testing::ProxyProcess;

constexpr std::int32_t kTimeout = 10;

// Every byte value, several times over, so that nothing is lost, added or changed.
std::string allByteValues() {
    std::string bytes;
    for (int round = 0; round < 20; ++round) {
        for (int value = 0; value < 256; ++value) {
            bytes += static_cast<char>(value);
        }
    }
    return bytes;
}

void expectCleanStream(Connection& connection) {
    ASSERT_TRUE(connection.isOpen());
    EXPECT_TRUE(echoesThrough(connection, "GET /Reef-Update.php HTTP/1.0\r\n\r\n"));
    EXPECT_TRUE(echoesThrough(connection, allByteValues()));
}

#define ASSERT_PROXY_READY(proxy) ASSERT_TRUE((proxy).ready()) << (proxy).problem()

ProxyProcess startTinyproxy(bool withCredentials) {
    std::string config = "Port {port}\n"
                         "Listen 127.0.0.1\n"
                         "Timeout 60\n"
                         "MaxClients 20\n"
                         "Allow 127.0.0.1\n"
                         "LogLevel Info\n";
    if (withCredentials) {
        config += "BasicAuth reef geheim\n";
    }
    return ProxyProcess("tinyproxy", {"-d", "-c", "{dir}/tinyproxy.conf"},
                        {{"tinyproxy.conf", config}});
}

Connection httpThrough(const ProxyProcess& proxy, const EchoServer& target, const std::string& user,
                       const std::string& password) {
    return connectThroughProxy("127.0.0.1", proxy.port(), "127.0.0.1", target.port(),
                               kProxyHttpConnect, user, password, kTimeout, systemClock());
}

TEST(Tinyproxy, ConnectWithoutCredentials) {
    EchoServer target;
    ProxyProcess proxy = startTinyproxy(false);
    ASSERT_PROXY_READY(proxy);
    Connection connection = httpThrough(proxy, target, "", "");
    expectCleanStream(connection);
    // The proxy given by name.
    Connection byName = connectThroughProxy("localhost", proxy.port(), "127.0.0.1", target.port(),
                                            kProxyHttpConnect, "", "", kTimeout, systemClock());
    expectCleanStream(byName);
}

TEST(Tinyproxy, ConnectWithBasicCredentials) {
    EchoServer target;
    ProxyProcess proxy = startTinyproxy(true);
    ASSERT_PROXY_READY(proxy);
    Connection connection = httpThrough(proxy, target, "reef", "geheim");
    expectCleanStream(connection);
}

TEST(Tinyproxy, WrongOrMissingPasswordFails) {
    EchoServer target;
    ProxyProcess proxy = startTinyproxy(true);
    ASSERT_PROXY_READY(proxy);
    EXPECT_FALSE(httpThrough(proxy, target, "reef", "falsch").isOpen());
    EXPECT_FALSE(httpThrough(proxy, target, "reef", "").isOpen());
    // The proxy still serves a correct client afterwards.
    Connection connection = httpThrough(proxy, target, "reef", "geheim");
    expectCleanStream(connection);
}

ProxyProcess startDante() {
    std::string config = "logoutput: stderr\n"
                         "internal: 127.0.0.1 port = {port}\n"
                         "external: 127.0.0.1\n"
                         "clientmethod: none\n"
                         "socksmethod: none\n";
    if (::geteuid() == 0) {
        config += "user.privileged: root\n"
                  "user.unprivileged: nobody\n";
    }
    config += "client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n}\n"
              "socks pass {\n  from: 0.0.0.0/0 to: 0.0.0.0/0\n  command: connect\n}\n";
    return ProxyProcess("danted", {"-f", "{dir}/danted.conf", "-p", "{dir}/danted.pid", "-N", "1"},
                        {{"danted.conf", config}});
}

TEST(Dante, Socks4WithANumericTarget) {
    EchoServer target;
    ProxyProcess proxy = startDante();
    ASSERT_PROXY_READY(proxy);
    Connection connection =
        connectThroughProxy("127.0.0.1", proxy.port(), "127.0.0.1", target.port(), kProxySocks4,
                            "reef", "", kTimeout, systemClock());
    expectCleanStream(connection);
}

TEST(Dante, Socks4RefusesAHostNameBeforeAsking) {
    EchoServer target;
    ProxyProcess proxy = startDante();
    ASSERT_PROXY_READY(proxy);
    EXPECT_FALSE(connectThroughProxy("127.0.0.1", proxy.port(), "localhost", target.port(),
                                     kProxySocks4, "", "", kTimeout, systemClock())
                     .isOpen());
}

ProxyProcess startMicrosocks(bool withCredentials) {
    std::vector<std::string> arguments{"-i", "127.0.0.1", "-p", "{port}"};
    if (withCredentials) {
        arguments.insert(arguments.end(), {"-u", "reef", "-P", "geheim"});
    }
    return ProxyProcess("microsocks", arguments);
}

Connection socks5Through(const ProxyProcess& proxy, const EchoServer& target,
                         const std::string& user, const std::string& password) {
    return connectThroughProxy("127.0.0.1", proxy.port(), "127.0.0.1", target.port(), kProxySocks5,
                               user, password, kTimeout, systemClock());
}

TEST(Microsocks, Socks5WithoutCredentials) {
    EchoServer target;
    ProxyProcess proxy = startMicrosocks(false);
    ASSERT_PROXY_READY(proxy);
    Connection connection = socks5Through(proxy, target, "", "");
    expectCleanStream(connection);
}

TEST(Microsocks, Socks5OfferingCredentialsToAProxyWithoutThem) {
    EchoServer target;
    ProxyProcess proxy = startMicrosocks(false);
    ASSERT_PROXY_READY(proxy);
    Connection connection = socks5Through(proxy, target, "reef", "geheim");
    expectCleanStream(connection);
}

TEST(Microsocks, Socks5WithUserNameAndPassword) {
    EchoServer target;
    ProxyProcess proxy = startMicrosocks(true);
    ASSERT_PROXY_READY(proxy);
    Connection connection = socks5Through(proxy, target, "reef", "geheim");
    expectCleanStream(connection);
}

TEST(Microsocks, WrongOrMissingPasswordFails) {
    EchoServer target;
    ProxyProcess proxy = startMicrosocks(true);
    ASSERT_PROXY_READY(proxy);
    EXPECT_FALSE(socks5Through(proxy, target, "reef", "falsch").isOpen());
    EXPECT_FALSE(socks5Through(proxy, target, "", "").isOpen());
    Connection connection = socks5Through(proxy, target, "reef", "geheim");
    expectCleanStream(connection);
}

TEST(Microsocks, ListServerConnectionThroughTheConfiguredProxy) {
    EchoServer target;
    ProxyProcess proxy = startMicrosocks(true);
    ASSERT_PROXY_READY(proxy);
    ProxySettings settings;
    settings.host = "127.0.0.1";
    settings.port = proxy.port();
    settings.type = kProxySocks5;
    settings.userId = "reef";
    settings.password = "geheim";
    std::vector<std::string> texts;
    Connection connection = connectToListServer(
        settings, [&texts](const std::string& text) { texts.push_back(text); },
        ListServerAddress{"127.0.0.1", target.port()});
    expectCleanStream(connection);
    EXPECT_EQ(texts, std::vector<std::string>{"Status: Verbindungsaufbau"});
}

// A proxy that forks into the background and lets its first process end counts as failed to
// start; whatever it left running in its process group must be stopped with it.
bool goneOrZombie(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return true;
    }
    const std::size_t end = line.rfind(')');
    return end != std::string::npos && end + 2 < line.size() && line[end + 2] == 'Z';
}

TEST(ProxyProcessHarness, AProxyThatEndsAtStartLeavesNothingRunning) {
    const ProxyProcess proxy("sh", {"-c", "sleep 300 & echo $!"});
    ASSERT_FALSE(proxy.ready());
    std::istringstream pids(proxy.output());
    int started = 0;
    for (pid_t pid = 0; pids >> pid; ++started) {
        // The signal is delivered while the process is scheduled; wait for that, not for a
        // given time.
        bool gone = false;
        for (int i = 0; i < 500 && !(gone = goneOrZombie(pid)); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(gone) << "process " << pid << " of the failed start still runs";
    }
    EXPECT_GT(started, 0) << proxy.output();
}

} // namespace
