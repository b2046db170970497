#include "server_key.h"

#include <sodium.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace reef::listserver {

namespace {

std::string systemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

void ensureSodium() {
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium cannot be initialised");
}

} // namespace

std::string keyFileFor(const std::string& databasePath) {
    return databasePath + ".key";
}

ServerKey ServerKey::loadOrCreate(const std::string& path, bool mayCreate, bool* created) {
    ensureSodium();
    if (created)
        *created = false;
    ServerKey result;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && mayCreate) {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            throw std::runtime_error(systemError("cannot create key file", path));
        std::string key(crypto_generichash_KEYBYTES, '\0');
        randombytes_buf(key.data(), key.size());
        bool written = ::write(fd, key.data(), key.size()) == static_cast<ssize_t>(key.size()) &&
                       ::fsync(fd) == 0;
        ::close(fd);
        if (!written) {
            ::unlink(path.c_str());
            throw std::runtime_error(systemError("cannot write key file", path));
        }
        if (created)
            *created = true;
        result.key_ = std::move(key);
        return result;
    }
    if (fd < 0)
        throw std::runtime_error(systemError("cannot read key file", path));
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        throw std::runtime_error(systemError("cannot read key file", path));
    }
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        ::close(fd);
        throw std::runtime_error("key file " + path +
                                 " may be read by others; make it readable only by its owner "
                                 "(chmod 600)");
    }
    std::string key(crypto_generichash_KEYBYTES + 1, '\0');
    ssize_t got = ::read(fd, key.data(), key.size());
    ::close(fd);
    if (got != static_cast<ssize_t>(crypto_generichash_KEYBYTES))
        throw std::runtime_error("key file " + path + " is damaged (wrong size)");
    key.resize(crypto_generichash_KEYBYTES);
    result.key_ = std::move(key);
    return result;
}

std::string ServerKey::passwordHash(std::string_view password) const {
    std::string hash(crypto_generichash_BYTES, '\0');
    crypto_generichash(reinterpret_cast<unsigned char*>(hash.data()), hash.size(),
                       reinterpret_cast<const unsigned char*>(password.data()), password.size(),
                       reinterpret_cast<const unsigned char*>(key_.data()), key_.size());
    return hash;
}

std::string ServerKey::checkValue() const {
    // Hashed apart from every password by a prefix no password can have (they contain no NUL).
    return passwordHash(std::string_view("\0reef-listserver key check", 26));
}

std::string passwordProblem(std::string_view password) {
    if (password.empty())
        return "the password is empty";
    if (password.size() > 100)
        return "the password is longer than 100 characters";
    for (unsigned char c : password) {
        if (c < 0x21 || c == 0x7f)
            return "the password contains a blank or a control character";
        if (c >= 0x80)
            return "the password contains a character outside ASCII (the desktop program sends "
                   "Windows-1252, a terminal mostly UTF-8, so they would not match)";
        if (c == '&' || c == '#' || c == '%')
            return "the password contains one of & # % which the desktop program sends "
                   "unescaped inside the request";
    }
    return {};
}

} // namespace reef::listserver
