#include "write_queue.h"

#include <microhttpd.h>

namespace reef::listserver {

WriteQueue::WriteQueue(std::size_t maxWaiting)
    : maxWaiting_(maxWaiting), thread_([this] { run(); }) {}

WriteQueue::~WriteQueue() {
    close();
}

bool WriteQueue::submit(MHD_Connection* connection, std::function<void()> write) {
    std::lock_guard lock(mutex_);
    if (closing_ || jobs_.size() >= maxWaiting_)
        return false;
    // Suspended before the writer can see the job, so that it never resumes a connection
    // that is not yet suspended.
    MHD_suspend_connection(connection);
    jobs_.push_back(Job{connection, std::move(write)});
    wake_.notify_one();
    return true;
}

void WriteQueue::close() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void WriteQueue::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return closing_ || !jobs_.empty(); });
        if (jobs_.empty())
            return; // closing, and nothing left
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        // The job catches what it can; whatever still escapes must not leave the connection
        // suspended for ever.
        try {
            job.write();
        } catch (...) {
        }
        MHD_resume_connection(job.connection);
        lock.lock();
    }
}

} // namespace reef::listserver
