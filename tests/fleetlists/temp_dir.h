#pragma once
// A private directory per test, so that tests running in parallel never share files.

#include <cstdint>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

namespace reef::fleetlists::testing {

class TempDir {
  public:
    TempDir() {
        std::random_device random;
        const auto base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::uint64_t name = (std::uint64_t{random()} << 32) | random();
            const auto candidate = base / ("reef-fleetlists-" + std::to_string(name));
            // create_directory is false when the name exists already: try another one.
            if (std::filesystem::create_directory(candidate)) {
                path_ = candidate;
                return;
            }
        }
        throw std::runtime_error("cannot create a temporary directory");
    }
    ~TempDir() {
        std::error_code ignored;
        for (const auto& item : std::filesystem::directory_iterator(path_, ignored)) {
            std::filesystem::permissions(item.path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ignored);
        }
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

} // namespace reef::fleetlists::testing
