#pragma once
// Whole files written and read byte for byte, for tests that check what the program wrote.

#include <fstream>
#include <iterator>
#include <string>

namespace reef::testing {

inline void putFile(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Empty when the file cannot be read.
inline std::string fileBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace reef::testing
