// Fuzz target of the fleet-file reader: any bytes as "Soll.dat" or "Haben.dat". The seven
// values read are written as the first 28 bytes of the file, the bytes it lacks as zeros.

#include "calc/fleet_file.h"
#include "fuzz/fuzz_stream.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace reef;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const calc::FleetRowValues values = calc::decodeFleetRow(bytes);
    std::string expected(bytes.substr(0, calc::kFleetFileSize));
    expected.resize(calc::kFleetFileSize, '\0');
    const std::string written = calc::encodeFleetRow(values);
    fuzz::check(written == expected, "a fleet file that is not read byte for byte");
    fuzz::check(calc::decodeFleetRow(written) == values, "a fleet row that does not read back");
    return 0;
}
