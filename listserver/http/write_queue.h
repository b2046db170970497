#pragma once
// Writes ("New", "Change") run on a thread of their own, with their connections suspended
// meanwhile: a synced commit takes milliseconds, and the request threads stay free to answer
// downloads. The writes that wait when the writer is free share one commit.

#include "listserver/core/list_service.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct MHD_Connection;

namespace reef::listserver {

class WriteQueue {
  public:
    // Runs a group of writes in one commit and gives their answers (ListService::writeTogether).
    using Together =
        std::function<std::vector<Answer>(const std::vector<std::function<Answer()>>&)>;

    WriteQueue(std::size_t maxWaiting, Together together);
    ~WriteQueue();
    WriteQueue(const WriteQueue&) = delete;
    WriteQueue& operator=(const WriteQueue&) = delete;

    // Suspends the connection and runs `write` on the writer thread, hands its answer to
    // `deliver` there, then resumes the connection. Only from libmicrohttpd's request
    // callback. False when too many writes wait or the queue is closed: then the connection is
    // left as it was.
    bool submit(MHD_Connection* connection, std::function<Answer()> write,
                std::function<void(Answer)> deliver);
    // Runs what waits, resumes those connections and takes nothing more.
    void close();

    // Writes in one commit at most.
    static constexpr std::size_t kMaxTogether = 64;

  private:
    void run();

    struct Job {
        MHD_Connection* connection;
        std::function<Answer()> write;
        std::function<void(Answer)> deliver;
    };
    std::size_t maxWaiting_;
    Together together_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool closing_ = false;
    std::deque<Job> jobs_;
    std::thread thread_;
};

} // namespace reef::listserver
