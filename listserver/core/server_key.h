#pragma once
// The server's secret key and the keyed hash of list passwords. The key lives in a file of
// its own beside the database, readable only by its owner, so that a copy of the database
// alone reveals no password, while every request costs one cheap hash.

#include <string>
#include <string_view>

namespace reef::listserver {

class ServerKey {
  public:
    // Reads the key file, or creates it with a fresh random key when it does not exist and
    // mayCreate is set. Throws std::runtime_error with a text for the admin.
    static ServerKey loadOrCreate(const std::string& path, bool mayCreate, bool* created);
    // A key kept elsewhere (in a database that several server processes share), and the
    // random bytes of a new one. Throws std::runtime_error for a key of the wrong size.
    static ServerKey fromBytes(std::string key);
    static std::string freshKeyBytes();

    // 32 bytes: keyed BLAKE2b of the password.
    std::string passwordHash(std::string_view password) const;
    // A value that tells whether a key file belongs to a database.
    std::string checkValue() const;

  private:
    std::string key_;
};

// The key file that belongs to a database file.
std::string keyFileFor(const std::string& databasePath);

inline constexpr std::size_t kMinPasswordLength = 10;

// Why this cannot be a new list password: too short to withstand guessing, or a member could
// not type it into the desktop program and have it match. Empty when it is fine.
std::string passwordProblem(std::string_view password);

} // namespace reef::listserver
