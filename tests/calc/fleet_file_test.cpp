#include "calc/fleet_file.h"

#include <gtest/gtest.h>

#include <string>

namespace reef::calc {
namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (const int v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}

TEST(FleetFileFormat, SollExampleBytes) {
    const std::string expected = bytes({0x0A, 0, 0, 0, 0x14, 0, 0, 0, 0, 0, 0,    0, 0, 0,
                                        0,    0, 0, 0, 0,    0, 5, 0, 0, 0, 0x23, 0, 0, 0});
    EXPECT_EQ(encodeFleetRow({10, 20, 0, 0, 0, 5, 35}), expected);
    EXPECT_EQ(decodeFleetRow(expected), (FleetRowValues{10, 20, 0, 0, 0, 5, 35}));
}

TEST(FleetFileFormat, LittleEndianSignedValues) {
    const FleetRowValues values{-1, 0x12345678, -2147483647 - 1, 2147483647, 256, -256, 1};
    const std::string encoded = encodeFleetRow(values);
    ASSERT_EQ(encoded.size(), kFleetFileSize);
    EXPECT_EQ(encoded.substr(0, 8), bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(encoded.substr(8, 4), bytes({0, 0, 0, 0x80}));
    EXPECT_EQ(decodeFleetRow(encoded), values);
}

TEST(FleetFileFormat, EmptyDataReadsAsZeros) {
    EXPECT_EQ(decodeFleetRow(""), (FleetRowValues{}));
}

TEST(FleetFileFormat, BytesBeyond28AreIgnored) {
    std::string data = encodeFleetRow({1, 2, 3, 4, 5, 6, 7});
    data += bytes({0x7F, 0x7F});
    EXPECT_EQ(decodeFleetRow(data), (FleetRowValues{1, 2, 3, 4, 5, 6, 7}));
}

TEST(FleetFileFormat, CutOffValueKeepsItsLowOrderBytes) {
    std::string data = encodeFleetRow({1, 2, 3, 4, 5, -1, 0x01020304});
    data.resize(26); // the total keeps 04 03
    EXPECT_EQ(decodeFleetRow(data), (FleetRowValues{1, 2, 3, 4, 5, -1, 0x0304}));
    data.resize(23); // Killerwal keeps FF FF FF, the total nothing
    EXPECT_EQ(decodeFleetRow(data), (FleetRowValues{1, 2, 3, 4, 5, 0xFFFFFF, 0}));
}

} // namespace
} // namespace reef::calc
