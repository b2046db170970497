#pragma once
// Files of the working directory. Paths are CP1252 texts, as everywhere in the program.

#include <optional>
#include <string>

namespace reef::platform {

// The whole file, or nothing when it cannot be opened.
std::optional<std::string> readFileBytes(const std::string& path);

// Replaces the file whole: writes a temporary file beside it and renames it over the target,
// so a crash or a full disk never leaves a cut-off file. Fails, leaving everything as it was,
// when the target exists but is read-only or cannot be replaced.
bool replaceFileBytes(const std::string& path, const std::string& bytes);

bool fileExists(const std::string& path);

} // namespace reef::platform
