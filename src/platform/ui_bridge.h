#pragma once
// The way from a worker thread to the user-interface thread that survives the end of the
// program: once the program has detached the bridge, whatever a worker still posts is
// dropped and whatever it waits for gives up, so a worker never touches a gone platform and
// never keeps the process waiting.

#include "platform/platform.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

namespace reef::platform {

class UiBridge {
  public:
    explicit UiBridge(Platform& ui) : ui_(&ui) {}
    UiBridge(const UiBridge&) = delete;
    UiBridge& operator=(const UiBridge&) = delete;

    // Runs the task on the user-interface thread, in posting order; dropped once detached.
    void post(std::function<void()> task) {
        std::lock_guard lock(mutex_);
        if (ui_ != nullptr) {
            ui_->postTask(std::move(task));
        }
    }

    // Runs the function on the user-interface thread and waits for its result; nothing
    // when the bridge is detached before the result has come. The posted task holds only
    // its own outcome, so it may run after the bridge is gone.
    template <typename Function> auto call(Function function) {
        using Result = std::invoke_result_t<Function>;
        using Stored = std::conditional_t<std::is_void_v<Result>, bool, Result>;
        struct Outcome {
            std::mutex mutex;
            std::condition_variable answered;
            std::optional<Stored> value;
        };
        auto outcome = std::make_shared<Outcome>();
        post([outcome, fn = std::move(function)]() mutable {
            Stored value{};
            if constexpr (std::is_void_v<Result>) {
                fn();
                value = true;
            } else {
                value = fn();
            }
            std::lock_guard lock(outcome->mutex);
            outcome->value = std::move(value);
            outcome->answered.notify_all();
        });
        std::unique_lock lock(outcome->mutex);
        while (!outcome->value && !detached()) {
            outcome->answered.wait_for(lock, kDetachPoll);
        }
        return std::move(outcome->value);
    }

    // From now on nothing reaches the user interface; workers waiting in call() go on.
    void detach() {
        std::lock_guard lock(mutex_);
        ui_ = nullptr;
    }

    bool detached() {
        std::lock_guard lock(mutex_);
        return ui_ == nullptr;
    }

  private:
    // How often a waiting worker looks whether the program has ended meanwhile.
    static constexpr std::chrono::milliseconds kDetachPoll{50};

    std::mutex mutex_;
    Platform* ui_;
};

} // namespace reef::platform
