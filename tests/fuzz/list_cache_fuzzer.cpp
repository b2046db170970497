// Fuzz target of the cache-file reader: any bytes as a list's cache file. What was read is
// written again and must read back as the same list, interval, password and widths.

#include "fleetlists/list_cache.h"
#include "fuzz/fuzz_stream.h"

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
    const auto kind = (input.byte() & 1) != 0 ? fleetlists::FleetListKind::Enemy
                                              : fleetlists::FleetListKind::Allied;
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
    return 0;
}
