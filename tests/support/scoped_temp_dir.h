#pragma once
// Tests run in parallel processes; each test that touches files works in a fresh directory of
// its own and returns to the previous working directory afterwards.

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace reef::testing {

class ScopedTempDir {
  public:
    ScopedTempDir() : previous_(std::filesystem::current_path()) {
        std::random_device random;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (;;) {
            path_ = base / ("reef-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(path_)) {
                break;
            }
        }
        std::filesystem::current_path(path_);
    }
    ~ScopedTempDir() {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
        // Read-only files left by a test must not keep the directory alive.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ec)) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
        std::filesystem::remove_all(path_, ec);
    }
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // A file of the directory by its full name.
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

} // namespace reef::testing
