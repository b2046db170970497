#pragma once
// A clock for tests of time limits: its tick count moves only when the test moves it, while
// its sleep really sleeps a little, so a loop that polls it gives other threads (a scripted
// peer, the network) real time and never runs its own clock forward.

#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace reef::testing {

class SteppedClock final : public platform::Clock {
  public:
    explicit SteppedClock(std::int64_t localNow = 0, std::int64_t tickCountMs = 0)
        : localNow_(localNow), tickCountMs_(tickCountMs) {}

    std::int64_t localNow() override { return localNow_.load(); }
    std::int64_t tickCountMs() override { return tickCountMs_.load(); }
    void sleepMs(std::int64_t) override {
        sleeps_.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    void setLocalNow(std::int64_t seconds) { localNow_.store(seconds); }
    void advanceMs(std::int64_t ms) { tickCountMs_.fetch_add(ms); }
    // How often the code under test has slept on this clock.
    std::int64_t sleeps() const { return sleeps_.load(); }

  private:
    std::atomic<std::int64_t> localNow_;
    std::atomic<std::int64_t> tickCountMs_;
    std::atomic<std::int64_t> sleeps_{0};
};

// While it lives, moves the clock's tick count on by stepMs every real millisecond: a test
// that waits for a time limit lets time pass quickly, but only where it asks for it.
class ClockTicker {
  public:
    explicit ClockTicker(SteppedClock& clock, std::int64_t stepMs = 20)
        : thread_([this, &clock, stepMs] {
              while (!stop_.load()) {
                  clock.advanceMs(stepMs);
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          }) {}
    ~ClockTicker() {
        stop_.store(true);
        thread_.join();
    }
    ClockTicker(const ClockTicker&) = delete;
    ClockTicker& operator=(const ClockTicker&) = delete;

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace reef::testing
