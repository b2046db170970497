#pragma once
// Saves cut short on purpose: the machine's file steps with one of them failing, the way a
// full disk or a pulled stick fails a save, at any byte of the write or at the rename. Like a
// test file system it wraps the real one and holds nothing but the fault it was given.

#include "platform/files.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace reef::testing {

class FailingFileSteps final : public platform::FileSteps {
  public:
    enum class Fault { None, WriteStopsAtByte, SyncFails, MoveFails };

    FailingFileSteps(Fault fault, std::size_t atByte = 0) : fault_(fault), atByte_(atByte) {}

    bool writeThrough(const std::string& path, std::string_view bytes) override {
        switch (fault_) {
        case Fault::WriteStopsAtByte:
            // What came before the failing byte is on the disk.
            os_.writeThrough(path, bytes.substr(0, atByte_));
            return false;
        case Fault::SyncFails:
            os_.writeThrough(path, bytes);
            return false;
        case Fault::None:
        case Fault::MoveFails:
            break;
        }
        return os_.writeThrough(path, bytes);
    }
    bool moveOver(const std::string& from, const std::string& to) override {
        return fault_ != Fault::MoveFails && os_.moveOver(from, to);
    }
    void remove(const std::string& path) override { os_.remove(path); }

  private:
    platform::OsFileSteps os_;
    Fault fault_;
    std::size_t atByte_;
};

struct InterruptedSaves {
    int tried = 0;
    int whole = 0;          // the old file or the new one, byte for byte, and no temporary file
    int reportedFailed = 0; // replaceFileBytes said false
    std::string firstBad;   // what the first try that left something else left
};

// Saves `newer` over the file at `path` (holding `older`, or missing when there is no older),
// failing once at every byte of the write, once at the sync after the last byte and once at
// the rename; the file is put back to `older` before each try.
inline InterruptedSaves interruptEverySave(const std::string& path,
                                           const std::optional<std::string>& older,
                                           const std::string& newer) {
    using Fault = FailingFileSteps::Fault;
    InterruptedSaves saves;
    const auto tryOnce = [&](Fault fault, std::size_t atByte) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        if (older) {
            platform::replaceFileBytes(path, *older);
        }
        FailingFileSteps steps(fault, atByte);
        ++saves.tried;
        if (!platform::replaceFileBytes(steps, path, newer)) {
            ++saves.reportedFailed;
        }
        const std::optional<std::string> left = platform::readFileBytes(path);
        const bool temporaryLeft = std::filesystem::exists(platform::temporaryFileOf(path));
        if (!temporaryLeft && (left == older || left == newer)) {
            ++saves.whole;
        } else if (saves.firstBad.empty()) {
            saves.firstBad = (temporaryLeft ? "a temporary file and " : "") +
                             (left ? std::to_string(left->size()) + " bytes" : "no file") +
                             " after a fault at byte " + std::to_string(atByte);
        }
    };
    for (std::size_t byte = 0; byte < newer.size(); ++byte) {
        tryOnce(Fault::WriteStopsAtByte, byte);
    }
    tryOnce(Fault::SyncFails, newer.size());
    tryOnce(Fault::MoveFails, newer.size());
    return saves;
}

} // namespace reef::testing
