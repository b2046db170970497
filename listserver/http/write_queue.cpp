#include "listserver/http/write_queue.h"

#include <microhttpd.h>

namespace reef::listserver {

WriteQueue::WriteQueue(std::size_t maxWaiting, Together together)
    : maxWaiting_(maxWaiting), together_(std::move(together)), thread_([this] { run(); }) {}

WriteQueue::~WriteQueue() {
    close();
}

bool WriteQueue::submit(MHD_Connection* connection, std::function<Answer()> write,
                        std::function<void(Answer)> deliver) {
    std::lock_guard lock(mutex_);
    if (closing_ || jobs_.size() >= maxWaiting_)
        return false;
    // Suspended before the writer can see the job, so that it never resumes a connection
    // that is not yet suspended.
    MHD_suspend_connection(connection);
    jobs_.push_back(Job{connection, std::move(write), std::move(deliver)});
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
        std::vector<Job> group;
        while (!jobs_.empty() && group.size() < kMaxTogether) {
            group.push_back(std::move(jobs_.front()));
            jobs_.pop_front();
        }
        lock.unlock();
        std::vector<std::function<Answer()>> writes;
        for (Job& job : group)
            writes.push_back(std::move(job.write));
        std::vector<Answer> answers;
        // Whatever still escapes must not leave the connections suspended for ever; they then
        // answer without a stored entry.
        try {
            answers = together_(writes);
        } catch (...) {
        }
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (i < answers.size()) {
                try {
                    group[i].deliver(std::move(answers[i]));
                } catch (...) {
                }
            }
            MHD_resume_connection(group[i].connection);
        }
        lock.lock();
    }
}

} // namespace reef::listserver
