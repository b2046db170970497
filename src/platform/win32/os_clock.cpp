#include "platform/clock.h"

#include <windows.h>

namespace reef::platform {

namespace {

// 100-ns intervals between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kEpochDifference = 116444736000000000LL;

class SystemClock final : public Clock {
  public:
    std::int64_t localNow() override {
        // The local calendar time read as if it were UTC gives seconds since 1970 of local
        // time without any zone shift.
        SYSTEMTIME local{};
        GetLocalTime(&local);
        FILETIME asFileTime{};
        if (!SystemTimeToFileTime(&local, &asFileTime)) {
            return 0;
        }
        ULARGE_INTEGER value{};
        value.LowPart = asFileTime.dwLowDateTime;
        value.HighPart = asFileTime.dwHighDateTime;
        return (static_cast<std::int64_t>(value.QuadPart) - kEpochDifference) / 10000000LL;
    }
    std::int64_t tickCountMs() override { return static_cast<std::int64_t>(GetTickCount64()); }
    void sleepMs(std::int64_t ms) override {
        while (ms > 0) {
            const DWORD part = ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(ms);
            Sleep(part);
            ms -= part;
        }
    }
};

} // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace reef::platform
