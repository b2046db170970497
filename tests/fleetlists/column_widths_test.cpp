#include "fleetlists/column_widths.h"

#include "platform/headless/headless_platform.h"

#include <gtest/gtest.h>

using namespace reef::fleetlists;
using reef::platform::headless::HeadlessPlatform;

namespace {

reef::platform::ControlId listWithColumns(HeadlessPlatform& ui, int count) {
    const auto window = ui.openWindow("Liste", 640, 230);
    const auto list = ui.createListView(window, {0, 0, 640, 153});
    for (int column = 0; column < count; ++column) {
        ui.addListColumn(list, "c", 10 + column);
    }
    return list;
}

} // namespace

TEST(ReadColumnWidths, AlliedViewLeavesTheEnemyColumnAlone) {
    HeadlessPlatform ui;
    const auto list = listWithColumns(ui, 16);
    ColumnWidths widths = kDefaultColumnWidths;
    widths[16] = 77;
    const ColumnWidths read = readColumnWidths(ui, list, FleetListKind::Allied, widths);
    for (int column = 0; column < 16; ++column) {
        EXPECT_EQ(read[static_cast<std::size_t>(column)], 10 + column);
    }
    EXPECT_EQ(read[16], 77);
}

TEST(ReadColumnWidths, EnemyViewHasSeventeenColumns) {
    HeadlessPlatform ui;
    const auto list = listWithColumns(ui, 17);
    EXPECT_EQ(readColumnWidths(ui, list, FleetListKind::Enemy, {})[16], 26);
}

TEST(ReadColumnWidths, WidthsAreCutTo16Bits) {
    HeadlessPlatform ui;
    const auto list = listWithColumns(ui, 16);
    ui.setListColumnWidth(list, 0, 0x10000 + 40);
    ui.setListColumnWidth(list, 1, 0xFFFF);
    const ColumnWidths read = readColumnWidths(ui, list, FleetListKind::Allied, {});
    EXPECT_EQ(read[0], 40);
    EXPECT_EQ(read[1], -1);
}
