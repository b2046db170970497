#include "listserver/admin/demo_alliance.h"

#include <sodium.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace reef::listserver {

namespace {

std::string randomPassword() {
    const char letters[] = "abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    std::string password;
    for (int i = 0; i < 12; ++i)
        password.push_back(letters[randombytes_uniform(sizeof letters - 1)]);
    return password;
}

void writePrivately(const std::string& path, const std::string& text) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    const bool written = ::fchmod(fd, 0600) == 0 &&
                         ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const int error = errno;
    ::close(fd);
    if (!written)
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(error));
}

} // namespace

std::string demoPasswordFileFor(const std::string& databasePath) {
    return databasePath + ".demo-password";
}

std::string setUpDemoAlliance(ListStore& store, const ServerKey& key, const std::string& db) {
    const std::string file = demoPasswordFileFor(db);
    for (const Alliance& each : store.alliances())
        if (each.name == "Demo")
            return "Demo alliance \"Demo\" exists already and keeps its list password" +
                   (::access(file.c_str(), F_OK) == 0
                        ? " (in " + file + ")"
                        : std::string("; 'reef-listserver alliance password Demo' sets a new one"));
    const std::string password = randomPassword();
    if (!store.addAlliance("Demo", key.passwordHash(password)))
        throw std::runtime_error("cannot set up the demo alliance");
    if (::isatty(STDOUT_FILENO))
        return "Demo alliance \"Demo\", list password: " + password;
    writePrivately(file, password + "\n");
    return "Demo alliance \"Demo\": its list password is in " + file + " (readable only by you)";
}

} // namespace reef::listserver
