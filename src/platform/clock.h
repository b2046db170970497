#pragma once
// Every clock of the program comes through here, so that tests can set time.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace reef::platform {

class Clock {
  public:
    virtual ~Clock() = default;
    // Local wall-clock date-time: seconds since 1970-01-01 00:00 of local time, no zone shift.
    virtual std::int64_t localNow() = 0;
    // Monotonic milliseconds; never wraps.
    virtual std::int64_t tickCountMs() = 0;
    virtual void sleepMs(std::int64_t ms) = 0;
};

// The machine's clocks.
Clock& systemClock();

// A clock that moves only when told to; sleepMs advances it, or, for tests of workers that
// must keep waiting until the test acts, really sleeps without moving it. Thread-safe.
class ManualClock final : public Clock {
  public:
    explicit ManualClock(std::int64_t localNow = 0, std::int64_t tickCountMs = 0)
        : localNow_(localNow), tickCountMs_(tickCountMs) {}
    std::int64_t localNow() override { return localNow_.load(); }
    std::int64_t tickCountMs() override { return tickCountMs_.load(); }
    void sleepMs(std::int64_t ms) override {
        if (realSleep_.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        } else {
            advanceMs(ms);
        }
    }
    void setRealSleep(bool realSleep) { realSleep_.store(realSleep); }
    void setLocalNow(std::int64_t seconds) { localNow_.store(seconds); }
    void setTickCountMs(std::int64_t ms) { tickCountMs_.store(ms); }
    // Advances both clocks; the wall clock in whole seconds of the total elapsed.
    void advanceMs(std::int64_t ms) {
        const std::int64_t before = tickCountMs_.fetch_add(ms);
        localNow_.fetch_add((before + ms) / 1000 - before / 1000);
    }

  private:
    std::atomic<std::int64_t> localNow_;
    std::atomic<std::int64_t> tickCountMs_;
    std::atomic<bool> realSleep_{false};
};

} // namespace reef::platform
