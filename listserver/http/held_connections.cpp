#include "listserver/http/held_connections.h"

#include <microhttpd.h>

#include <chrono>
#include <vector>

namespace reef::listserver {

namespace {

std::chrono::steady_clock::time_point timePointOf(double seconds) {
    using namespace std::chrono;
    return steady_clock::time_point(
        duration_cast<steady_clock::duration>(duration<double>(seconds)));
}

} // namespace

double HeldConnections::monotonicNow() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

HeldConnections::HeldConnections() : thread_([this] { run(); }) {}

HeldConnections::~HeldConnections() {
    close();
}

bool HeldConnections::hold(MHD_Connection* connection, double until) {
    std::lock_guard lock(mutex_);
    if (closing_)
        return false;
    // Suspended under the lock, so that close() cannot miss it.
    MHD_suspend_connection(connection);
    const bool first = due_.empty() || until < due_.begin()->first;
    due_.emplace(until, connection);
    if (first)
        wake_.notify_one();
    return true;
}

void HeldConnections::close() {
    std::vector<MHD_Connection*> all;
    {
        std::lock_guard lock(mutex_);
        if (closing_ && !thread_.joinable())
            return;
        closing_ = true;
        for (auto& [until, connection] : due_)
            all.push_back(connection);
        due_.clear();
    }
    wake_.notify_one();
    for (MHD_Connection* connection : all)
        MHD_resume_connection(connection);
    if (thread_.joinable())
        thread_.join();
}

void HeldConnections::run() {
    std::unique_lock lock(mutex_);
    while (!closing_) {
        if (due_.empty()) {
            wake_.wait(lock);
            continue;
        }
        const double next = due_.begin()->first;
        if (monotonicNow() < next) {
            wake_.wait_until(lock, timePointOf(next));
            continue;
        }
        std::vector<MHD_Connection*> now;
        const double until = monotonicNow();
        while (!due_.empty() && due_.begin()->first <= until) {
            now.push_back(due_.begin()->second);
            due_.erase(due_.begin());
        }
        lock.unlock();
        for (MHD_Connection* connection : now)
            MHD_resume_connection(connection);
        lock.lock();
    }
}

std::size_t HeldConnections::count() {
    std::lock_guard lock(mutex_);
    return due_.size();
}

} // namespace reef::listserver
