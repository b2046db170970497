#pragma once
// Where the test programs find their helpers: beside the running executable.

#include <windows.h>

#include <string>

namespace reef::platform::win32 {

inline std::wstring besideExecutable(const std::wstring& name) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length);
    const auto slash = directory.find_last_of(L"\\/");
    directory = slash == std::wstring::npos ? std::wstring() : directory.substr(0, slash + 1);
    return directory + name;
}

// A stand-in for notepad.exe that appends each argument it gets to "editor_probe.log" in
// its working directory and ends at once.
inline std::wstring editorProbePath() {
    return besideExecutable(L"editor_probe.exe");
}

} // namespace reef::platform::win32
