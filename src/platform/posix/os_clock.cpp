#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace reef::platform {

namespace {

class SystemClock final : public Clock {
  public:
    std::int64_t localNow() override {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return static_cast<std::int64_t>(now) + local.tm_gmtoff;
    }
    std::int64_t tickCountMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void sleepMs(std::int64_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

} // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace reef::platform
