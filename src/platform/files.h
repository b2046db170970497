#pragma once
// Files of the working directory. Paths are CP1252 texts, as everywhere in the program.

#include <optional>
#include <string>
#include <string_view>

namespace reef::platform {

// The whole file, or nothing when it cannot be opened.
std::optional<std::string> readFileBytes(const std::string& path);

// The operating system's steps of replacing a file, one call each, so that a test can make any
// of them fail the way a full disk or a pulled stick would, at any byte.
class FileSteps {
  public:
    virtual ~FileSteps() = default;
    // Creates or truncates the file, writes the bytes and forces them to the disk. False when
    // any of that failed; the file may then hold part of the bytes.
    virtual bool writeThrough(const std::string& path, std::string_view bytes) = 0;
    // Puts `from` in the place of `to` in one step, replacing what was there.
    virtual bool moveOver(const std::string& from, const std::string& to) = 0;
    virtual void remove(const std::string& path) = 0;
};

// The machine's files: POSIX write, fsync and rename; on Windows WriteFile, FlushFileBuffers
// and MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH.
class OsFileSteps final : public FileSteps {
  public:
    bool writeThrough(const std::string& path, std::string_view bytes) override;
    bool moveOver(const std::string& from, const std::string& to) override;
    void remove(const std::string& path) override;
};

// The temporary file a replacement writes first, beside the target.
std::string temporaryFileOf(const std::string& path);

// Replaces the file whole: writes a temporary file beside it, forces it to the disk and
// renames it over the target, so a crash or a full disk never leaves a cut-off file; a failed
// replacement removes its temporary file. Fails, leaving everything as it was, when the target
// exists but is read-only or cannot be replaced.
bool replaceFileBytes(const std::string& path, const std::string& bytes);
bool replaceFileBytes(FileSteps& steps, const std::string& path, const std::string& bytes);

bool fileExists(const std::string& path);

} // namespace reef::platform
