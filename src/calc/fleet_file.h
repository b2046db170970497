#pragma once
// The fleet files "Soll.dat" and "Haben.dat": one row of the fleet distribution window as
// seven little-endian 32-bit signed integers (28 bytes, nothing else), total last.

#include "platform/platform.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace reef::calc {

inline constexpr const char* kSollFile = "Soll.dat";
inline constexpr const char* kHabenFile = "Haben.dat";
inline constexpr std::size_t kFleetFileSize = 28;

using FleetRowValues = std::array<std::int32_t, 7>;
using FleetRowFields = std::array<platform::ControlId, 7>;

std::string encodeFleetRow(const FleetRowValues& values);

// The first 28 bytes; bytes the data does not have count as zero, so a value cut off by the
// end keeps the bytes present as its low-order bytes.
FleetRowValues decodeFleetRow(std::string_view bytes);

// Writes the integer values of the seven fields' texts to the file, replacing it whole.
// On failure tells the user and returns false.
bool saveFleetRow(platform::Platform& ui, const std::string& fileName, const FleetRowFields& row);

// Puts the file's seven values into the fields, creating an empty file when there is none.
// When the file cannot be opened for reading and writing, tells the user, leaves the fields
// as they are and returns false.
bool loadFleetRow(platform::Platform& ui, const std::string& fileName, const FleetRowFields& row);

} // namespace reef::calc
