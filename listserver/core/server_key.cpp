#include "listserver/core/server_key.h"

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

// Writes the key beside its place and links it in only when it is whole and on disk, so that
// a crash never leaves an empty or cut-off key at `path` (the stored hashes would be lost
// with it). False when a key file appeared at `path` in the meantime.
bool publishKeyFile(const std::string& path, const std::string& key) {
    const std::string temporary = path + ".new." + std::to_string(::getpid());
    ::unlink(temporary.c_str()); // left by an earlier crash of this very process id
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        throw std::runtime_error(systemError("cannot create key file", temporary));
    const bool written =
        ::write(fd, key.data(), key.size()) == static_cast<ssize_t>(key.size()) && ::fsync(fd) == 0;
    const int writeError = errno;
    ::close(fd);
    if (!written) {
        ::unlink(temporary.c_str());
        errno = writeError;
        throw std::runtime_error(systemError("cannot write key file", temporary));
    }
    const bool linked = ::link(temporary.c_str(), path.c_str()) == 0;
    const int linkError = errno;
    ::unlink(temporary.c_str());
    if (!linked) {
        if (linkError == EEXIST)
            return false;
        errno = linkError;
        throw std::runtime_error(systemError("cannot create key file", path));
    }
    // The directory entry too must reach the disk before any hash made with the key does.
    const std::string::size_type slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int dir = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
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
    // Never through a symbolic link: the key must be this file, not one it points to.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT && mayCreate) {
        std::string key(crypto_generichash_KEYBYTES, '\0');
        randombytes_buf(key.data(), key.size());
        if (publishKeyFile(path, key)) {
            if (created)
                *created = true;
            result.key_ = std::move(key);
            return result;
        }
        // Another process published its key first: use that one.
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    }
    if (fd < 0 && errno == ELOOP)
        throw std::runtime_error("key file " + path +
                                 " is a symbolic link; put the key file itself there");
    if (fd < 0)
        throw std::runtime_error(systemError("cannot read key file", path));
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        throw std::runtime_error(systemError("cannot read key file", path));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        throw std::runtime_error("key file " + path + " is not a regular file");
    }
    if (info.st_uid != ::geteuid()) {
        ::close(fd);
        throw std::runtime_error("key file " + path +
                                 " belongs to another user; it must be owned by the user the "
                                 "server runs as");
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

ServerKey ServerKey::fromBytes(std::string key) {
    ensureSodium();
    if (key.size() != crypto_generichash_KEYBYTES)
        throw std::runtime_error("the stored server key is damaged (wrong size)");
    ServerKey result;
    result.key_ = std::move(key);
    return result;
}

std::string ServerKey::freshKeyBytes() {
    ensureSodium();
    std::string key(crypto_generichash_KEYBYTES, '\0');
    randombytes_buf(key.data(), key.size());
    return key;
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
    if (password.size() < kMinPasswordLength)
        return "the password is shorter than " + std::to_string(kMinPasswordLength) +
               " characters (a short one is guessed too soon)";
    if (password.size() > 100)
        return "the password is longer than 100 characters";
    // The desktop program percent-encodes what would break the request, so every printable
    // ASCII character arrives as typed, the blank included.
    for (unsigned char c : password) {
        if (c < 0x20 || c == 0x7f)
            return "the password contains a control character";
        if (c >= 0x80)
            return "the password contains a character outside ASCII (the desktop program sends "
                   "Windows-1252, a terminal mostly UTF-8, so they would not match)";
    }
    return {};
}

} // namespace reef::listserver
