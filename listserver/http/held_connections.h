#pragma once
// Connections whose answer waits (a client held back after wrong passwords): suspended in
// libmicrohttpd, so that they take no worker thread while they wait, and resumed by a thread
// of their own when their time has come.

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

struct MHD_Connection;

namespace reef::listserver {

class HeldConnections {
  public:
    HeldConnections();
    ~HeldConnections();
    HeldConnections(const HeldConnections&) = delete;
    HeldConnections& operator=(const HeldConnections&) = delete;

    // Suspends the connection and resumes it at `until` (monotonic seconds, the clock of
    // monotonicNow). Only from libmicrohttpd's request callback. False once closed: then the
    // connection is left as it was and must be answered at once.
    bool hold(MHD_Connection* connection, double until);
    // Resumes every held connection now and takes no more; libmicrohttpd may not be stopped
    // while a connection is suspended.
    void close();
    // Connections held now.
    std::size_t count();

    static double monotonicNow();

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    bool closing_ = false;
    std::multimap<double, MHD_Connection*> due_;
    std::thread thread_;
};

} // namespace reef::listserver
