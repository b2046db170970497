#include "calc/fleet_file.h"

#include "platform/error_message.h"
#include "platform/files.h"
#include "text/integer_text.h"

#include <filesystem>
#include <optional>
#include <system_error>

namespace reef::calc {

namespace {

void showFileError(platform::Platform& ui, const std::string& fileName, const char* what) {
    // The two apostrophes on each side of the name are part of the message.
    platform::showError(ui, "Konnte Datei ''" + fileName + "'' " + what);
}

// The file as loading sees it: opened for reading and writing, created empty when missing.
// Nothing when it cannot be opened that way.
std::optional<std::string> openForLoading(const std::string& fileName) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(fileName, ec);
    if (!fs::exists(status)) {
        if (!platform::replaceFileBytes(fileName, std::string())) {
            return std::nullopt;
        }
        return std::string();
    }
    // A file the user made read-only cannot be opened for writing, so loading it fails like
    // any other file that cannot be opened.
    if (!fs::is_regular_file(status) ||
        (status.permissions() & fs::perms::owner_write) == fs::perms::none) {
        return std::nullopt;
    }
    return platform::readFileBytes(fileName);
}

} // namespace

std::string encodeFleetRow(const FleetRowValues& values) {
    std::string bytes;
    bytes.reserve(kFleetFileSize);
    for (const std::int32_t value : values) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<char>((bits >> shift) & 0xFFu));
        }
    }
    return bytes;
}

FleetRowValues decodeFleetRow(std::string_view bytes) {
    FleetRowValues values{};
    for (std::size_t column = 0; column < values.size(); ++column) {
        std::uint32_t bits = 0;
        for (std::size_t b = 0; b < 4; ++b) {
            const std::size_t offset = column * 4 + b;
            if (offset < bytes.size()) {
                bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset]))
                        << (8 * b);
            }
        }
        values[column] = static_cast<std::int32_t>(bits);
    }
    return values;
}

bool saveFleetRow(platform::Platform& ui, const std::string& fileName, const FleetRowFields& row) {
    FleetRowValues values{};
    for (std::size_t column = 0; column < row.size(); ++column) {
        values[column] = text::intValue(ui.text(row[column]));
    }
    if (!platform::replaceFileBytes(fileName, encodeFleetRow(values))) {
        showFileError(ui, fileName, "nicht erstellen!");
        return false;
    }
    return true;
}

bool loadFleetRow(platform::Platform& ui, const std::string& fileName, const FleetRowFields& row) {
    const std::optional<std::string> bytes = openForLoading(fileName);
    if (!bytes) {
        showFileError(ui, fileName, "nicht öffnen!");
        return false;
    }
    const FleetRowValues values = decodeFleetRow(*bytes);
    for (std::size_t column = 0; column < row.size(); ++column) {
        ui.setText(row[column], text::decimalText(values[column]));
    }
    return true;
}

} // namespace reef::calc
