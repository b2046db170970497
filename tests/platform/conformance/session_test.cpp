// The end of the Windows session: handed to the program before the backend returns to the
// system, once, whatever the program does with its windows meanwhile.

#include "platform/conformance/conformance_fixture.h"

namespace reef::platform::conformance {
namespace {

class ConformanceSession : public ConformanceTest {
  protected:
    void TearDown() override {
        // The handler refers to this test's members.
        platform().setUrgentEventHandler({});
    }

    static bool isSessionEnd(const Event& event) { return event.kind == EventKind::SessionEnd; }
};

TEST_F(ConformanceSession, EndIsHandledOnceBeforeTheSystemIsAnsweredWithTheWindowsOpen) {
    const WindowId main = openTestWindow("Reef - Tools");
    openTestWindow("Reef - Tools: Verbündete Flotten", 640, 230);
    openTestWindow("Reef - Tools: Gegnerische Flotten", 640, 230);
    drainEvents();
    std::vector<Event> handled;
    bool windowOpenWhenHandled = false;
    platform().setUrgentEventHandler([&](const Event& event) {
        handled.push_back(event);
        windowOpenWhenHandled = driver().isWindowOpen(main);
    });

    EXPECT_TRUE(driver().endSession()) << "the program lets the session end";

    // Every window is told; the program hears it once.
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].kind, EventKind::SessionEnd);
    EXPECT_FALSE(handled[0].window) << "the session belongs to no window";
    EXPECT_TRUE(windowOpenWhenHandled);
    EXPECT_EQ(countMatching(drainEvents(), isSessionEnd), 0) << "handled, not queued as well";
}

TEST_F(ConformanceSession, HandlerMayCloseEveryWindow) {
    const WindowId main = openTestWindow("Reef - Tools");
    const WindowId list = openTestWindow("Reef - Tools: Verbündete Flotten", 640, 230);
    drainEvents();
    int handled = 0;
    platform().setUrgentEventHandler([&](const Event&) {
        ++handled;
        platform().closeWindow(list);
        platform().closeWindow(main);
    });
    EXPECT_TRUE(driver().endSession());
    EXPECT_EQ(handled, 1);
    EXPECT_FALSE(driver().isWindowOpen(main));
    EXPECT_FALSE(driver().isWindowOpen(list));
    EXPECT_TRUE(drainEvents().empty());
}

TEST_F(ConformanceSession, WithoutAHandlerTheEndIsQueued) {
    openTestWindow("Reef - Tools");
    openTestWindow("Reef - Tools: Attgrenze");
    drainEvents();
    EXPECT_TRUE(driver().endSession());
    const std::vector<Event> events = drainEvents();
    ASSERT_EQ(countMatching(events, isSessionEnd), 1);
    EXPECT_FALSE(events[static_cast<std::size_t>(indexOf(events, isSessionEnd))].window);
}

} // namespace
} // namespace reef::platform::conformance
