#include "platform/worker_threads.h"

#include <system_error>
#include <utility>

namespace reef::platform {

void WorkerThreads::start(std::function<void()> work) {
    reap();
    if (refusals_ > 0) {
        refusals_ -= 1;
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                "thread refused");
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([done, work = std::move(work)] {
        work();
        done->store(true);
    });
    workers_.push_back(Worker{done, std::move(thread)});
}

int WorkerThreads::running() const {
    int count = 0;
    for (const Worker& worker : workers_) {
        count += worker.done->load() ? 0 : 1;
    }
    return count;
}

void WorkerThreads::reap() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void WorkerThreads::detachAll() {
    for (Worker& worker : workers_) {
        if (worker.thread.joinable()) {
            worker.thread.detach();
        }
    }
    workers_.clear();
}

void WorkerThreads::joinAll() {
    for (Worker& worker : workers_) {
        if (worker.thread.joinable()) {
            worker.thread.join();
        }
    }
    workers_.clear();
}

} // namespace reef::platform
