// Fuzz target of the cache-file reader: any bytes as a list's cache file. What was read is
// written again and must read back as the same list, interval, password and widths. Then the
// rows go where the list window takes them: shown in file order, their countdowns rewritten,
// one of them changed in the entry dialog (ListDisplay).

#include "fleetlists/list_cache.h"
#include "fuzz/fuzz_stream.h"
#include "fuzz/list_display.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace reef;

namespace {

bool sameData(const fleetlists::ListCacheData& a, const fleetlists::ListCacheData& b) {
    return a.interval == b.interval && a.password == b.password && a.widths == b.widths &&
           a.rows == b.rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputBytes input(data, size);
    // The kind, and in the other seven bits the time of the day the window opens at.
    const std::uint8_t choice = input.byte();
    const auto kind =
        (choice & 1) != 0 ? fleetlists::FleetListKind::Enemy : fleetlists::FleetListKind::Allied;
    const std::int64_t localNow = fuzz::kDayStart + (choice >> 1) * 677;
    const std::string_view bytes = input.rest();

    fleetlists::ListCacheData read;
    fleetlists::decodeListCache(kind, bytes, read);
    fuzz::check(read.rows.size() <= bytes.size() / 4 + 1, "more rows than the bytes can hold");

    const std::string written = fleetlists::encodeListCache(kind, read);
    fleetlists::ListCacheData again;
    fleetlists::decodeListCache(kind, written, again);
    fuzz::check(sameData(read, again), "a cache file that does not read back as written");
    fuzz::check(fleetlists::encodeListCache(kind, again) == written,
                "a cache file that is written differently the second time");

    // What the program holds already stays: the password and the rows are only taken when
    // there are none.
    fleetlists::ListCacheData held;
    held.password = "held";
    held.rows.resize(1);
    held.rows.front().Name = "held";
    fleetlists::decodeListCache(kind, bytes, held);
    fuzz::check(held.password == "held" && held.rows.size() == 1 &&
                    held.rows.front().Name == "held",
                "a cache file that replaced what the program held");

    for (const std::int16_t width : read.widths) {
        fuzz::check(width >= 0, "a negative column width");
    }
    fuzz::ListDisplay::instance().show(kind, std::move(read.rows), false, localNow,
                                       localNow + 1200);
    return 0;
}
