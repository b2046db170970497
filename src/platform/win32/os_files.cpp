#include "platform/files.h"

#include "platform/win32/wide_text.h"

#include <windows.h>

namespace reef::platform {

bool OsFileSteps::writeThrough(const std::string& path, std::string_view bytes) {
    const HANDLE file = CreateFileW(win32::wide(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool written = true;
    while (written && !bytes.empty()) {
        const DWORD chunk =
            bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
        DWORD done = 0;
        written = WriteFile(file, bytes.data(), chunk, &done, nullptr) != 0 && done > 0;
        bytes.remove_prefix(done);
    }
    // The bytes must be on the disk before the move makes them the file.
    written = written && FlushFileBuffers(file) != 0;
    return CloseHandle(file) != 0 && written;
}

bool OsFileSteps::moveOver(const std::string& from, const std::string& to) {
    return MoveFileExW(win32::wide(from).c_str(), win32::wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void OsFileSteps::remove(const std::string& path) {
    DeleteFileW(win32::wide(path).c_str());
}

} // namespace reef::platform
