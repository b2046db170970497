#include "platform/files.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace reef::platform {

namespace fs = std::filesystem;

std::optional<std::string> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

std::string temporaryFileOf(const std::string& path) {
    return path + ".tmp";
}

bool replaceFileBytes(const std::string& path, const std::string& bytes) {
    OsFileSteps steps;
    return replaceFileBytes(steps, path, bytes);
}

bool replaceFileBytes(FileSteps& steps, const std::string& path, const std::string& bytes) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (fs::exists(status)) {
        // The permission bits, not access(): root may write anywhere, but a file the user made
        // read-only is to be left alone.
        if (!fs::is_regular_file(status) ||
            (status.permissions() & fs::perms::owner_write) == fs::perms::none) {
            return false;
        }
    }
    const std::string temporary = temporaryFileOf(path);
    if (!steps.writeThrough(temporary, bytes) || !steps.moveOver(temporary, path)) {
        steps.remove(temporary);
        return false;
    }
    return true;
}

} // namespace reef::platform
