// The user-interface thread and workers: posted tasks, run-and-wait, modal boxes asked for
// by a worker.

#include "platform/conformance/conformance_fixture.h"

#include <atomic>
#include <thread>

namespace reef::platform::conformance {
namespace {

class ConformanceThreads : public ConformanceTest {};

TEST_F(ConformanceThreads, TheConstructingThreadIsTheUiThread) {
    EXPECT_TRUE(platform().isUiThread());
    std::atomic<bool> workerIsUi{true};
    std::thread worker([&] { workerIsUi = platform().isUiThread(); });
    worker.join();
    EXPECT_FALSE(workerIsUi.load());
}

TEST_F(ConformanceThreads, TasksPostedFromAWorkerRunOnTheUiThreadInOrder) {
    constexpr int kTasks = 200;
    std::vector<int> order; // touched only by tasks, that is on the user-interface thread
    std::atomic<int> offUiThread{0};
    std::thread worker([&] {
        for (int i = 0; i < kTasks; ++i) {
            platform().postTask([&, i] {
                if (!platform().isUiThread()) {
                    ++offUiThread;
                }
                order.push_back(i);
            });
        }
    });
    worker.join();
    ASSERT_TRUE(pumpUntil([&] { return order.size() == static_cast<std::size_t>(kTasks); }));
    EXPECT_EQ(offUiThread.load(), 0);
    for (int i = 0; i < kTasks; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    }
}

TEST_F(ConformanceThreads, TasksOfTwoWorkersKeepEachWorkersOrder) {
    constexpr int kTasks = 100;
    std::vector<int> first;
    std::vector<int> second;
    const auto post = [&](std::vector<int>& target) {
        for (int i = 0; i < kTasks; ++i) {
            platform().postTask([&target, i] { target.push_back(i); });
        }
    };
    std::thread a([&] { post(first); });
    std::thread b([&] { post(second); });
    ASSERT_TRUE(pumpUntil([&] {
        return first.size() == static_cast<std::size_t>(kTasks) &&
               second.size() == static_cast<std::size_t>(kTasks);
    }));
    a.join();
    b.join();
    for (int i = 0; i < kTasks; ++i) {
        EXPECT_EQ(first[static_cast<std::size_t>(i)], i);
        EXPECT_EQ(second[static_cast<std::size_t>(i)], i);
    }
}

TEST_F(ConformanceThreads, TasksPostedOnTheUiThreadRunLaterNotAtOnce) {
    bool ran = false;
    platform().postTask([&] { ran = true; });
    EXPECT_FALSE(ran);
    ASSERT_TRUE(pumpUntil([&] { return ran; }));
}

TEST_F(ConformanceThreads, ATaskMayChangeControlsWithoutRaisingChangeEvents) {
    // A worker reports its progress through tasks that write texts; those are program-set
    // texts and start no handlers.
    const WindowId window = openTestWindow();
    const ControlId edit = makeEdit(window, 10);
    const ControlId status = platform().createStatusBar(window, 200, 200, 300);
    drainEvents();
    std::thread worker([&] {
        platform().postTask([&] { platform().setText(edit, "42"); });
        platform().postTask([&] { platform().setStatusText(status, 2, "\t\tStatus: Fertig!"); });
    });
    std::vector<Event> seen;
    ASSERT_TRUE(pumpUntil([&] { return platform().statusText(status, 2) != ""; }, &seen));
    worker.join();
    EXPECT_EQ(platform().text(edit), "42");
    EXPECT_EQ(platform().statusText(status, 2), "\t\tStatus: Fertig!");
    std::vector<Event> rest = drainEvents();
    seen.insert(seen.end(), rest.begin(), rest.end());
    EXPECT_EQ(countMatching(seen, controlEvent(edit, ControlEventType::Changed)), 0);
}

TEST_F(ConformanceThreads, CallOnUiThreadFromAWorkerReturnsTheAnswer) {
    const WindowId window = openTestWindow();
    const ControlId edit = makeEdit(window, 10, {}, "Passwort1");
    std::atomic<bool> done{false};
    std::string answer; // read only after done
    bool ranOnUi = false;
    std::thread worker([&] {
        answer = platform().callOnUiThread([&] {
            ranOnUi = platform().isUiThread();
            return platform().text(edit);
        });
        done = true;
    });
    const bool finished = pumpUntil([&] { return done.load(); });
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(answer, "Passwort1");
    EXPECT_TRUE(ranOnUi);
}

TEST_F(ConformanceThreads, CallOnUiThreadWithoutResultWaitsForTheFunction) {
    const WindowId window = openTestWindow();
    const ControlId edit = makeEdit(window, 10);
    std::atomic<bool> done{false};
    std::string seenByWorker;
    std::thread worker([&] {
        platform().callOnUiThread([&] { platform().setText(edit, "fertig"); });
        // The function has run by now; ask for the text to see it.
        seenByWorker = platform().callOnUiThread([&] { return platform().text(edit); });
        done = true;
    });
    const bool finished = pumpUntil([&] { return done.load(); });
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(seenByWorker, "fertig");
}

TEST_F(ConformanceThreads, CallOnUiThreadFromTheUiThreadRunsAtOnce) {
    int calls = 0;
    const int result = platform().callOnUiThread([&] {
        ++calls;
        return 7;
    });
    EXPECT_EQ(result, 7);
    EXPECT_EQ(calls, 1);
}

TEST_F(ConformanceThreads, AWorkerAsksTheUserThroughTheUiThread) {
    // The download worker asks for the list password and shows errors this way.
    driver().queueMessageBoxAnswer(MessageBoxAnswer::Yes);
    driver().queueInputBoxAnswer("geheim");
    std::atomic<bool> done{false};
    MessageBoxAnswer boxAnswer = MessageBoxAnswer::Ok;
    std::string password;
    std::thread worker([&] {
        boxAnswer = platform().callOnUiThread([&] {
            return platform().messageBox("Reef - Tools", "Weiter?", MessageBoxKind::Question);
        });
        password = platform().callOnUiThread(
            [&] { return platform().inputBox("Reef - Tools", "Bitte Passwort angeben:", ""); });
        done = true;
    });
    const bool finished = pumpUntil([&] { return done.load(); });
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(boxAnswer, MessageBoxAnswer::Yes);
    EXPECT_EQ(password, "geheim");
    ASSERT_EQ(driver().shownMessageBoxes().size(), 1u);
    EXPECT_EQ(driver().shownMessageBoxes()[0].text, "Weiter?");
    ASSERT_EQ(driver().shownInputBoxes().size(), 1u);
    EXPECT_EQ(driver().shownInputBoxes()[0].prompt, "Bitte Passwort angeben:");
}

TEST_F(ConformanceThreads, EventsAndTasksBothArriveWhileWorkersPost) {
    // User input keeps flowing while a worker floods the queue with tasks.
    const WindowId window = openTestWindow();
    const ControlId button = makeButton(window, 10, "Liste Aktualisieren");
    drainEvents();
    std::atomic<int> ran{0};
    std::thread worker([&] {
        for (int i = 0; i < 500; ++i) {
            platform().postTask([&] { ++ran; });
        }
    });
    driver().click(button);
    std::vector<Event> seen;
    ASSERT_TRUE(pumpUntil(
        [&] {
            return ran.load() == 500 &&
                   countMatching(seen, controlEvent(button, ControlEventType::Activated)) > 0;
        },
        &seen));
    worker.join();
}

} // namespace
} // namespace reef::platform::conformance
