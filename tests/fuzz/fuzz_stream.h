#pragma once
// What the fuzz targets of the program's readers share: a byte stream that hands out the
// fuzzer's bytes in blocks of random size with pauses between them, and a list window that
// closes after a chosen number of window checks and stops the run when an exchange touches it
// after it has been seen closed.

#include "exchange/list_exchange_sink.h"
#include "platform/byte_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace reef::fuzz {

[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void check(bool condition, const char* what) {
    if (!condition) {
        fail(what);
    }
}

// Reads the fuzzer's input from the front: a few control bytes, then the rest.
class InputBytes {
  public:
    InputBytes(const std::uint8_t* data, std::size_t size)
        : bytes_(reinterpret_cast<const char*>(data), size) {}
    std::uint8_t byte() {
        if (bytes_.empty()) {
            return 0;
        }
        const auto value = static_cast<std::uint8_t>(bytes_.front());
        bytes_.remove_prefix(1);
        return value;
    }
    std::uint32_t word() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value = value << 8 | byte();
        }
        return value;
    }
    std::string_view rest() const { return bytes_; }

  private:
    std::string_view bytes_;
};

// Blocks of 1 to maxBlock bytes, drawn from a generator seeded by the input, so that every
// input replays the same cuts. Now and then the stream has nothing waiting for one poll.
class BlockStream final : public platform::ByteStream {
  public:
    BlockStream(std::string bytes, std::uint32_t seed, std::size_t maxBlock = 1024)
        : bytes_(std::move(bytes)), random_(seed), maxBlock_(maxBlock) {}

    bool send(const void* data, std::size_t size) override {
        sent_.emplace_back(static_cast<const char*>(data), size);
        return true;
    }
    bool dataAvailable() const override {
        // A pause is a poll that finds nothing; the reader then sleeps and asks its idle rules.
        if (position_ < bytes_.size() && random_() % 8 == 0) {
            return false;
        }
        return true;
    }
    long receive(void* buffer, std::size_t capacity) override {
        const std::size_t block = 1 + random_() % maxBlock_;
        const std::size_t size = std::min({capacity, block, bytes_.size() - position_});
        std::memcpy(buffer, bytes_.data() + position_, size);
        position_ += size;
        return static_cast<long>(size);
    }

    // How many bytes have been handed out so far.
    std::size_t handedOut() const { return position_; }
    const std::vector<std::string>& sent() const { return sent_; }

  private:
    std::string bytes_;
    mutable std::minstd_rand random_;
    std::size_t maxBlock_;
    std::size_t position_ = 0;
    std::vector<std::string> sent_;
};

// A list window that reports itself closed from the given window check on (0: never closes).
// An exchange that has once been told the window is closed must not touch it again.
class ClosingSink final : public exchange::ListExchangeSink {
  public:
    explicit ClosingSink(std::uint32_t closeAtCheck) : closeAtCheck_(closeAtCheck) {}

    bool windowOpen() override {
        ++checks_;
        if (closeAtCheck_ != 0 && checks_ >= closeAtCheck_) {
            seenClosed_ = true;
        }
        return !seenClosed_;
    }
    void setStatus(int field, const std::string& text) override {
        touched();
        check(field >= 0 && field <= 2, "a status field that does not exist");
        lastStatus = text;
    }
    void showError(const std::string& text) override {
        touched();
        check(text.size() <= 4096, "a message box longer than 4 KiB");
        ++errorsShown;
    }
    std::string askNewPassword() override {
        touched();
        return "again";
    }
    void listReceived(std::vector<fleetlists::FleetEntry> rows) override {
        touched();
        lists.push_back(std::move(rows));
    }

    bool seenClosed() const { return seenClosed_; }

    std::string lastStatus;
    int errorsShown = 0;
    std::vector<std::vector<fleetlists::FleetEntry>> lists;

  private:
    void touched() const { check(!seenClosed_, "the window was touched after it was closed"); }

    std::uint32_t closeAtCheck_;
    std::uint32_t checks_ = 0;
    bool seenClosed_ = false;
};

} // namespace reef::fuzz
