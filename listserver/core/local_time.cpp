#include "listserver/core/local_time.h"

#include <cstdlib>
#include <ctime>
#include <sys/stat.h>

namespace reef::listserver {

std::string useTimeZone(const std::string& zone) {
    // The C library falls back to UTC for a name it does not know, silently; an admin who
    // mistyped the zone would see every time shifted. So the zone must exist as a file.
    if (zone.empty() || zone.front() == '/' || zone.find("..") != std::string::npos)
        return "unknown time zone \"" + zone + "\"";
    const char* dir = std::getenv("TZDIR");
    std::string file = std::string(dir && *dir ? dir : "/usr/share/zoneinfo") + "/" + zone;
    struct stat info {};
    if (zone != "UTC" && (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)))
        return "unknown time zone \"" + zone + "\" (no file " + file + ")";
    ::setenv("TZ", zone.c_str(), 1);
    ::tzset();
    return {};
}

std::int64_t localWallSeconds(std::int64_t utcSeconds) {
    std::time_t t = static_cast<std::time_t>(utcSeconds);
    std::tm local{};
    if (!::localtime_r(&t, &local))
        return utcSeconds;
    return utcSeconds + local.tm_gmtoff;
}

std::int32_t secondsOfDay(std::int64_t wallSeconds) {
    constexpr std::int64_t kDay = 86400;
    return static_cast<std::int32_t>(((wallSeconds % kDay) + kDay) % kDay);
}

} // namespace reef::listserver
