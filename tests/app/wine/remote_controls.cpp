#include "remote_controls.h"

#include "probe_support.h"

#include <commctrl.h>

#include <cstddef>
#include <cstring>

namespace reef::probe {

namespace {

constexpr SIZE_T kTextChars = 1024;

// A block of memory inside the process that owns a window, freed at the end.
class RemoteBlock {
  public:
    RemoteBlock(HWND owner, SIZE_T size) : size_(size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(owner, &pid);
        process_ =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_) {
            address_ = static_cast<std::byte*>(
                VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        }
    }
    ~RemoteBlock() {
        if (address_) {
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
        if (process_) {
            CloseHandle(process_);
        }
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    bool valid() const { return address_ != nullptr; }
    std::byte* at(SIZE_T offset) const { return address_ + offset; }
    bool write(SIZE_T offset, const void* data, SIZE_T size) const {
        return offset + size <= size_ &&
               WriteProcessMemory(process_, at(offset), data, size, nullptr);
    }
    bool read(SIZE_T offset, void* data, SIZE_T size) const {
        return offset + size <= size_ &&
               ReadProcessMemory(process_, at(offset), data, size, nullptr);
    }
    std::string readText(SIZE_T offset) const {
        std::wstring text(kTextChars, L'\0');
        if (!read(offset, text.data(), kTextChars * sizeof(wchar_t))) {
            return {};
        }
        text.resize(wcsnlen(text.c_str(), kTextChars));
        return narrow(text);
    }

  private:
    HANDLE process_ = nullptr;
    std::byte* address_ = nullptr;
    SIZE_T size_;
};

LRESULT send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_BLOCK, 5000, &result);
    return static_cast<LRESULT>(result);
}

std::string cellText(HWND listView, const RemoteBlock& block, int row, int column) {
    const SIZE_T textOffset = sizeof(LVITEMW);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = reinterpret_cast<LPWSTR>(block.at(textOffset));
    item.cchTextMax = static_cast<int>(kTextChars);
    const wchar_t empty = L'\0';
    if (!block.write(0, &item, sizeof item) || !block.write(textOffset, &empty, sizeof empty)) {
        return {};
    }
    send(listView, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
         reinterpret_cast<LPARAM>(block.at(0)));
    return block.readText(textOffset);
}

} // namespace

int listViewRowCount(HWND listView) {
    return static_cast<int>(send(listView, LVM_GETITEMCOUNT, 0, 0));
}

int listViewSelectedRow(HWND listView) {
    return static_cast<int>(
        send(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::vector<std::vector<std::string>> listViewRows(HWND listView, int columns) {
    std::vector<std::vector<std::string>> rows;
    RemoteBlock block(listView, sizeof(LVITEMW) + kTextChars * sizeof(wchar_t));
    if (!block.valid()) {
        fail("memory in the program for reading its list view");
        return rows;
    }
    const int count = listViewRowCount(listView);
    for (int row = 0; row < count; ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < columns; ++column) {
            cells.push_back(cellText(listView, block, row, column));
        }
        rows.push_back(std::move(cells));
    }
    return rows;
}

RECT listViewRowRect(HWND listView, int row) {
    RECT rect{};
    RemoteBlock block(listView, sizeof(RECT));
    RECT request{};
    request.left = LVIR_BOUNDS;
    if (!block.valid() || !block.write(0, &request, sizeof request) ||
        !send(listView, LVM_GETITEMRECT, static_cast<WPARAM>(row),
              reinterpret_cast<LPARAM>(block.at(0))) ||
        !block.read(0, &rect, sizeof rect)) {
        return RECT{};
    }
    MapWindowPoints(listView, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string statusBarText(HWND statusBar, int field) {
    RemoteBlock block(statusBar, kTextChars * sizeof(wchar_t));
    const wchar_t empty = L'\0';
    if (!block.valid() || !block.write(0, &empty, sizeof empty)) {
        return {};
    }
    send(statusBar, SB_GETTEXTW, static_cast<WPARAM>(field), reinterpret_cast<LPARAM>(block.at(0)));
    return block.readText(0);
}

} // namespace reef::probe
