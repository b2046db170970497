// The in-memory backend's clock and its rule of waiting: time-outs move the manual clock,
// events come before tasks, tasks run one by one, modal boxes run pending tasks.

#include "platform/headless/headless_platform.h"

#include <gtest/gtest.h>

namespace reef::platform::headless {
namespace {

class HeadlessWaiting : public ::testing::Test {
  protected:
    HeadlessPlatform platform_{1'700'000'000, 5'000};
    HeadlessDriver driver_{platform_};
};

TEST_F(HeadlessWaiting, ClockIsTheManualClockTheTestSets) {
    EXPECT_EQ(platform_.clock().localNow(), 1'700'000'000);
    EXPECT_EQ(platform_.clock().tickCountMs(), 5'000);
    platform_.manualClock().setLocalNow(1'800'000'000);
    platform_.manualClock().setTickCountMs(90'000);
    EXPECT_EQ(platform_.clock().localNow(), 1'800'000'000);
    EXPECT_EQ(platform_.clock().tickCountMs(), 90'000);
    platform_.clock().sleepMs(2'500);
    EXPECT_EQ(platform_.clock().tickCountMs(), 92'500);
    EXPECT_EQ(platform_.clock().localNow(), 1'800'000'002);
}

TEST_F(HeadlessWaiting, TimeOutAdvancesTheClockByTheTimeout) {
    EXPECT_FALSE(platform_.waitEvent(30'000));
    EXPECT_EQ(platform_.clock().tickCountMs(), 35'000);
    EXPECT_EQ(platform_.clock().localNow(), 1'700'000'030);
    EXPECT_FALSE(platform_.waitEvent(0));
    EXPECT_EQ(platform_.clock().tickCountMs(), 35'000);
    EXPECT_FALSE(platform_.waitEvent(-5));
    EXPECT_EQ(platform_.clock().tickCountMs(), 35'000);
}

TEST_F(HeadlessWaiting, FortyTimeOutsMakeTwentyMinutes) {
    // What the event loop sees while the user does nothing: a new 20-minute slot after 40
    // waits of 30 seconds.
    for (int i = 0; i < 40; ++i) {
        EXPECT_FALSE(platform_.waitEvent(30'000));
    }
    EXPECT_EQ(platform_.clock().localNow(), 1'700'000'000 + 1200);
}

TEST_F(HeadlessWaiting, AnEventIsReturnedWithoutMovingTheClock) {
    const WindowId window = platform_.openWindow("Reef - Tools", 200, 210);
    driver_.requestClose(window);
    const std::optional<Event> event = platform_.waitEvent(30'000);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->kind, EventKind::CloseRequest);
    EXPECT_EQ(platform_.clock().tickCountMs(), 5'000);
}

TEST_F(HeadlessWaiting, QueuedEventsComeBeforeTasks) {
    const WindowId window = platform_.openWindow("Reef - Tools", 200, 210);
    bool ran = false;
    platform_.postTask([&] { ran = true; });
    driver_.requestClose(window);
    ASSERT_TRUE(platform_.waitEvent(0));
    EXPECT_FALSE(ran);
    EXPECT_FALSE(platform_.waitEvent(0));
    EXPECT_TRUE(ran);
}

TEST_F(HeadlessWaiting, TasksRunUntilOneRaisesAnEvent) {
    const WindowId window = platform_.openWindow("Reef - Tools", 200, 210);
    const ControlId button = platform_.createButton(window, Rect{5, 5, 190, 25}, "Attgrenze");
    std::vector<int> ran;
    platform_.postTask([&] { ran.push_back(1); });
    platform_.postTask([&] {
        ran.push_back(2);
        driver_.click(button);
    });
    platform_.postTask([&] { ran.push_back(3); });

    const std::optional<Event> event = platform_.waitEvent(30'000);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->control, button);
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    EXPECT_EQ(platform_.clock().tickCountMs(), 5'000);

    EXPECT_FALSE(platform_.waitEvent(30'000));
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

TEST_F(HeadlessWaiting, TaskPostedByATaskRunsInTheSameWait) {
    std::vector<int> ran;
    platform_.postTask([&] {
        ran.push_back(1);
        platform_.postTask([&] { ran.push_back(2); });
    });
    EXPECT_FALSE(platform_.waitEvent(10));
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST_F(HeadlessWaiting, RunPendingTasksLeavesTasksPostedMeanwhile) {
    std::vector<int> ran;
    platform_.postTask([&] {
        ran.push_back(1);
        platform_.postTask([&] { ran.push_back(2); });
    });
    EXPECT_EQ(platform_.runPendingTasks(), 1);
    EXPECT_EQ(ran, (std::vector<int>{1}));
    EXPECT_EQ(platform_.runPendingTasks(), 1);
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    EXPECT_EQ(platform_.runPendingTasks(), 0);
}

TEST_F(HeadlessWaiting, RunTasksUntilStopsWhenTheConditionHolds) {
    int count = 0;
    for (int i = 0; i < 5; ++i) {
        platform_.postTask([&] { ++count; });
    }
    EXPECT_TRUE(platform_.runTasksUntil([&] { return count == 3; }));
    EXPECT_EQ(count, 3);
    EXPECT_FALSE(platform_.runTasksUntil([&] { return count == 10; }, 0));
    EXPECT_EQ(count, 5);
    EXPECT_EQ(platform_.clock().tickCountMs(), 5'000);
}

TEST_F(HeadlessWaiting, MessageBoxRunsPendingTasksWhileOpen) {
    bool ran = false;
    platform_.postTask([&] { ran = true; });
    platform_.messageBox("Error: Reef - Tools", "Konnte Einstellungen nicht speichern!",
                         MessageBoxKind::Error);
    EXPECT_TRUE(ran);
}

TEST_F(HeadlessWaiting, InputBoxRunsPendingTasksWhileOpen) {
    bool ran = false;
    platform_.postTask([&] { ran = true; });
    platform_.inputBox("Reef - Tools", "Passwort:", "");
    EXPECT_TRUE(ran);
}

TEST_F(HeadlessWaiting, MessageBoxAskedByATaskInsideAMessageBoxTakesTheNextAnswer) {
    driver_.queueMessageBoxAnswer(MessageBoxAnswer::Yes);
    driver_.queueMessageBoxAnswer(MessageBoxAnswer::No);
    MessageBoxAnswer inner = MessageBoxAnswer::Ok;
    platform_.postTask(
        [&] { inner = platform_.messageBox("Reef - Tools", "innen", MessageBoxKind::Question); });
    // The outer box was shown first; the task runs while it is open.
    const MessageBoxAnswer outer =
        platform_.messageBox("Reef - Tools", "außen", MessageBoxKind::Question);
    EXPECT_EQ(inner, MessageBoxAnswer::Yes);
    EXPECT_EQ(outer, MessageBoxAnswer::No);
    const std::vector<ShownMessageBox> shown = driver_.shownMessageBoxes();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "außen");
    EXPECT_EQ(shown[1].text, "innen");
}

TEST_F(HeadlessWaiting, AnswerTheBoxDoesNotOfferCountsAsItsDefault) {
    driver_.queueMessageBoxAnswer(MessageBoxAnswer::Yes);
    driver_.queueMessageBoxAnswer(MessageBoxAnswer::Ok);
    EXPECT_EQ(platform_.messageBox("Error: Reef - Tools", "x", MessageBoxKind::Error),
              MessageBoxAnswer::Ok);
    EXPECT_EQ(platform_.messageBox("Reef - Tools", "y", MessageBoxKind::Question),
              MessageBoxAnswer::No);
    EXPECT_EQ(driver_.queuedMessageBoxAnswers(), 0);
}

TEST_F(HeadlessWaiting, PendingEventsShowTheQueueWithoutTakingFromIt) {
    const WindowId window = platform_.openWindow("Reef - Tools", 200, 210);
    driver_.requestClose(window);
    driver_.minimize(window);
    ASSERT_EQ(platform_.pendingEvents().size(), 1u);
    EXPECT_EQ(platform_.pendingEvents()[0].kind, EventKind::CloseRequest);
    EXPECT_TRUE(platform_.waitEvent(0));
    EXPECT_TRUE(platform_.pendingEvents().empty());
}

} // namespace
} // namespace reef::platform::headless
