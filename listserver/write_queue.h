#pragma once
// Writes ("New", "Change") run one after another on a thread of their own, with their
// connections suspended meanwhile: a synced commit takes milliseconds, and the request threads
// stay free to answer downloads.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

struct MHD_Connection;

namespace reef::listserver {

class WriteQueue {
  public:
    explicit WriteQueue(std::size_t maxWaiting);
    ~WriteQueue();
    WriteQueue(const WriteQueue&) = delete;
    WriteQueue& operator=(const WriteQueue&) = delete;

    // Suspends the connection and runs `write` on the writer thread, then resumes the
    // connection. Only from libmicrohttpd's request callback. False when too many writes wait
    // or the queue is closed: then the connection is left as it was.
    bool submit(MHD_Connection* connection, std::function<void()> write);
    // Runs what waits, resumes those connections and takes nothing more.
    void close();

  private:
    void run();

    struct Job {
        MHD_Connection* connection;
        std::function<void()> write;
    };
    std::size_t maxWaiting_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool closing_ = false;
    std::deque<Job> jobs_;
    std::thread thread_;
};

} // namespace reef::listserver
