#pragma once
// Handles of windows, controls and menus. A handle is a number chosen by the backend; 0 is
// the empty handle, which is what AppState holds while a window is closed.

#include <compare>
#include <cstdint>

namespace reef::platform {

template <typename Tag> struct Handle {
    std::uint64_t value = 0;
    constexpr explicit operator bool() const { return value != 0; }
    constexpr auto operator<=>(const Handle&) const = default;
};

using WindowId = Handle<struct WindowTag>;
using ControlId = Handle<struct ControlTag>;
using MenuId = Handle<struct MenuTag>;

// What a control is; both backends keep it with every control they create.
enum class ControlKind { Button, Label, Edit, TextArea, DropDown, Frame, ListView, StatusBar };

// 24-bit RGB.
struct Color {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    constexpr auto operator<=>(const Color&) const = default;
};

constexpr Color rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return {r, g, b};
}

// Pixel position and size inside a window's client area.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    constexpr auto operator<=>(const Rect&) const = default;
};

} // namespace reef::platform
