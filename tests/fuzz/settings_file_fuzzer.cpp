// Fuzz target of the settings-file reader: any bytes as a settings file, read, one entry
// written and the file saved and read again. Every value read before the save reads the same
// afterwards, and the written one reads as written.

#include "fuzz/fuzz_stream.h"
#include "platform/files.h"
#include "settings/settings_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace reef;

namespace {

// One file in a private folder on a memory file system, for the whole run.
struct Folder {
    std::string path;
    Folder() {
        std::string pattern = (std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp") +
                              std::string("/reef-settings-fuzz-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path = pattern;
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

// The keys asked for: a few fixed ones and what stands before "=" on the first lines.
std::vector<std::string> keysOf(std::string_view bytes) {
    std::vector<std::string> keys = {"Host", "Port", "PasswortSeite", "Fuzz", "", "x"};
    std::size_t start = 0;
    for (int line = 0; line < 8 && start < bytes.size(); ++line) {
        const std::size_t end = bytes.find_first_of("\r\n", start);
        const std::string_view text = bytes.substr(start, end - start);
        keys.emplace_back(text.substr(0, text.find('=')));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return keys;
}

// Printable ASCII without blanks at either end: a value that reads back as it was written.
std::string valueOf(std::string_view text) {
    std::string value;
    for (const char c : text.substr(0, 40)) {
        if (c > ' ' && c < 127) {
            value += c;
        }
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Folder folder;
    const std::string file = folder.path + "/Fuzz.dat";
    fuzz::InputBytes input(data, size);
    const std::string value = valueOf(std::string_view(input.rest()).substr(0, input.byte()));
    const std::string bytes(input.rest());
    fuzz::check(platform::replaceFileBytes(file, bytes), "the file could not be written");

    const std::vector<std::string> keys = keysOf(bytes);
    std::vector<std::string> before;
    std::vector<std::int32_t> numbers;
    {
        settings::SettingsFile settings;
        fuzz::check(settings.open(file), "the file could not be read");
        for (const std::string& key : keys) {
            before.push_back(settings.readString(key, "<none>"));
            numbers.push_back(settings.readInteger(key, -7));
        }
        settings.writeString("Fuzz", value);
        fuzz::check(settings.close(), "the file could not be saved");
    }
    settings::SettingsFile settings;
    fuzz::check(settings.open(file), "the saved file could not be read");
    fuzz::check(settings.readString("Fuzz") == value, "the written value reads differently");
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].size() == 4 && (keys[i][0] | 0x20) == 'f' && (keys[i][1] | 0x20) == 'u' &&
            (keys[i][2] | 0x20) == 'z' && (keys[i][3] | 0x20) == 'z') {
            continue; // the written key itself
        }
        fuzz::check(settings.readString(keys[i], "<none>") == before[i],
                    "a value that reads differently after a save");
        fuzz::check(settings.readInteger(keys[i], -7) == numbers[i],
                    "a number that reads differently after a save");
    }
    return 0;
}
