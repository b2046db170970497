#pragma once
// A clock for tests of time limits: its tick count moves only when the test moves it, while
// its sleep really sleeps a millisecond, so a polling loop gives other threads real time and
// never runs its own clock forward.

#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace reef::testing {

class SteppedClock final : public platform::Clock {
  public:
    explicit SteppedClock(std::int64_t localNow = 0) : localNow_(localNow) {}
    std::int64_t localNow() override { return localNow_; }
    std::int64_t tickCountMs() override { return tickCountMs_.load(); }
    void sleepMs(std::int64_t) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void advanceMs(std::int64_t ms) { tickCountMs_.fetch_add(ms); }

  private:
    const std::int64_t localNow_;
    std::atomic<std::int64_t> tickCountMs_{0};
};

// While it lives, moves the clock on by stepMs every real millisecond, so that a test that
// waits for a time limit lets time pass quickly, but only where it asks for it.
class ClockTicker {
  public:
    explicit ClockTicker(SteppedClock& clock, std::int64_t stepMs = 20)
        : thread_([this, &clock, stepMs] {
              for (; !stop_.load(); std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
                  clock.advanceMs(stepMs);
              }
          }) {}
    ~ClockTicker() {
        stop_.store(true);
        thread_.join();
    }

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace reef::testing
