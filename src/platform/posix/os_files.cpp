#include "platform/files.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace reef::platform {

namespace {

// A short write is continued; only an error ends it.
bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

bool OsFileSteps::writeThrough(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    // The bytes must be on the disk before the rename makes them the file.
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && written;
}

bool OsFileSteps::moveOver(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

void OsFileSteps::remove(const std::string& path) {
    ::unlink(path.c_str());
}

} // namespace reef::platform
