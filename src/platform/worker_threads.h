#pragma once
// The worker threads of the program. Ending the program never waits for them: they are
// detached, and they own everything they still touch. Tests join them instead.

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <thread>

namespace reef::platform {

class WorkerThreads {
  public:
    WorkerThreads() = default;
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;
    WorkerThreads(WorkerThreads&& other) noexcept = default;
    // The threads held before are detached, as at the end of the program.
    WorkerThreads& operator=(WorkerThreads&& other) noexcept {
        detachAll();
        workers_ = std::move(other.workers_);
        refusals_ = other.refusals_;
        return *this;
    }
    // A thread still registered here is detached, never destroyed joinable.
    ~WorkerThreads() { detachAll(); }

    // Throws std::system_error, as std::thread does, when the system starts no thread; the
    // work is then dropped and nothing runs.
    void start(std::function<void()> work);
    // For tests: the next `count` starts fail as a system without a thread to give makes them.
    void refuseNextStarts(int count) { refusals_ = count; }
    // The number of started threads that have not yet ended.
    int running() const;
    void detachAll();
    void joinAll();

  private:
    struct Worker {
        std::shared_ptr<std::atomic<bool>> done;
        std::thread thread;
    };
    // Joins the threads that have ended, so that the list stays short.
    void reap();

    std::list<Worker> workers_;
    int refusals_ = 0;
};

} // namespace reef::platform
