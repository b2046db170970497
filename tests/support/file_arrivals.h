#pragma once
// The order in which files appear in a folder (written in place or renamed into it), seen
// through Linux's inotify: file times are too coarse to order two writes a moment apart.

#include <sys/inotify.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace reef::testing {

class FileArrivals {
  public:
    explicit FileArrivals(const std::string& folder)
        : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0) {
            inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
        }
    }
    ~FileArrivals() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    FileArrivals(const FileArrivals&) = delete;
    FileArrivals& operator=(const FileArrivals&) = delete;

    bool watching() const { return fd_ >= 0; }

    // The names that arrived since the last call, in order; a temporary file that is written
    // and then renamed shows under both names.
    std::vector<std::string> names() {
        std::vector<std::string> arrived;
        alignas(inotify_event) char buffer[8192];
        for (;;) {
            const ssize_t length = read(fd_, buffer, sizeof buffer);
            if (length <= 0) {
                return arrived;
            }
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0) {
                    arrived.emplace_back(event->name);
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

  private:
    int fd_;
};

} // namespace reef::testing
