// The in-memory backend with worker threads: waiting in real time for their tasks.

#include "platform/headless/headless_platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace reef::platform::headless {
namespace {

TEST(HeadlessThreads, WaitEventPicksUpATaskPostedDuringItsRealWait) {
    HeadlessPlatform platform;
    HeadlessDriver driver(platform);
    const WindowId window = platform.openWindow("Reef - Tools", 200, 210);
    const ControlId button = platform.createButton(window, Rect{5, 5, 190, 25}, "Attgrenze");
    // Long enough never to run out on a loaded machine; the task ends the wait.
    platform.setRealWaitMs(60'000);
    std::atomic<bool> waiting{false};
    std::thread worker([&] {
        while (!waiting.load()) {
            std::this_thread::yield();
        }
        platform.postTask([&] { driver.click(button); });
    });
    waiting = true;
    const std::optional<Event> event = platform.waitEvent(30'000);
    worker.join();
    ASSERT_TRUE(event);
    EXPECT_EQ(event->control, button);
    EXPECT_EQ(platform.clock().tickCountMs(), 0);
}

TEST(HeadlessThreads, RunTasksUntilWaitsForTheWorkersTasks) {
    HeadlessPlatform platform;
    std::vector<int> received;
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) {
            platform.postTask([&received, i] { received.push_back(i); });
        }
    });
    const bool done = platform.runTasksUntil([&] { return received.size() == 50; }, 60'000);
    worker.join();
    ASSERT_TRUE(done);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(received[static_cast<std::size_t>(i)], i);
    }
    EXPECT_EQ(platform.clock().tickCountMs(), 0);
}

TEST(HeadlessThreads, WorkerWaitingForTheUiThreadIsServedByRunTasksUntil) {
    HeadlessPlatform platform;
    HeadlessDriver driver(platform);
    driver.queueInputBoxAnswer("geheim");
    std::atomic<bool> done{false};
    std::string password;
    std::thread worker([&] {
        password = platform.callOnUiThread(
            [&] { return platform.inputBox("Reef - Tools", "Bitte Passwort angeben:", ""); });
        done = true;
    });
    const bool finished = platform.runTasksUntil([&] { return done.load(); }, 60'000);
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(password, "geheim");
}

TEST(HeadlessThreads, ClockMayBeReadAndAdvancedFromWorkers) {
    HeadlessPlatform platform;
    std::thread a([&] {
        for (int i = 0; i < 1000; ++i) {
            platform.clock().sleepMs(1);
        }
    });
    std::thread b([&] {
        for (int i = 0; i < 1000; ++i) {
            platform.manualClock().advanceMs(1);
        }
    });
    a.join();
    b.join();
    EXPECT_EQ(platform.clock().tickCountMs(), 2000);
    EXPECT_EQ(platform.clock().localNow(), 2);
}

} // namespace
} // namespace reef::platform::headless
