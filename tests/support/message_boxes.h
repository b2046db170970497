#pragma once
// What a test expects of the message boxes the user was shown.

#include "platform/ui_driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace reef::testing {

// Exactly one box was shown so far: the program's error box with this text.
inline ::testing::AssertionResult shownOneError(platform::UiDriver& user, const std::string& text) {
    const std::vector<platform::ShownMessageBox> boxes = user.shownMessageBoxes();
    if (boxes.size() != 1) {
        return ::testing::AssertionFailure() << boxes.size() << " message boxes shown";
    }
    const platform::ShownMessageBox& box = boxes[0];
    if (box.caption != "Error: Reef - Tools" || box.text != text ||
        box.kind != platform::MessageBoxKind::Error) {
        return ::testing::AssertionFailure()
               << "shown: \"" << box.caption << "\", \"" << box.text << "\", "
               << (box.kind == platform::MessageBoxKind::Error ? "error" : "question") << " box";
    }
    return ::testing::AssertionSuccess();
}

} // namespace reef::testing
