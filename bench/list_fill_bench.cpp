// Benchmark of the list windows with long lists (not a test: it prints figures, it asserts
// nothing). It runs the program's own start-up, windows, event loop and download worker over
// the real backend of the build (Win32 in the Windows build, GTK in the Linux one) against the
// list server that "Server.dat" in the working folder names, and measures what a player waits
// for:
//
//   download   from the press of "Liste Aktualisieren" until the rows are shown, the status
//              reads "Status: Fertig!" and the buttons are free again;
//   stall      the longest round trip of a task to the user-interface thread meanwhile (a
//              helper thread posts one every few milliseconds and times its turn);
//   countdown  the rewrite of the countdown cells at a new 20-minute slot, and the round trip
//              after it (the rewritten cells drawn);
//   cache      the opening of the list window whose cache file holds the rows, until the
//              window answers.
//
// Usage: bench_list_fill PASSWORD [allied|enemy]   (in a folder with Server.dat)

#include "app/app_state.h"
#include "app/event_loop.h"
#include "app/startup.h"
#include "app/tool_windows.h"
#include "fleetlists/list_window.h"
#include "platform/platform.h"
#include "platform/process.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace {

using namespace reef;
using SteadyClock = std::chrono::steady_clock;
using fleetlists::FleetListKind;

double msBetween(SteadyClock::time_point from, SteadyClock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Posts a task to the user-interface thread, waits until it has run, pauses a few
// milliseconds and posts the next: the longest wait is the longest time the thread was busy.
class StallWatch {
  public:
    explicit StallWatch(platform::Platform& ui) : ui_(ui) {
        thread_ = std::thread([this] { run(); });
    }
    ~StallWatch() {
        stop_.store(true);
        thread_.join();
    }
    StallWatch(const StallWatch&) = delete;
    StallWatch& operator=(const StallWatch&) = delete;

    void reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        longestMs_ = 0;
        trips_ = 0;
    }
    double longestMs() {
        std::lock_guard<std::mutex> lock(mutex_);
        return longestMs_;
    }
    int trips() {
        std::lock_guard<std::mutex> lock(mutex_);
        return trips_;
    }

  private:
    void run() {
        while (!stop_.load()) {
            auto ran = std::make_shared<std::atomic<bool>>(false);
            const SteadyClock::time_point posted = SteadyClock::now();
            ui_.postTask([ran] { ran->store(true); });
            while (!ran->load() && !stop_.load()) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                longestMs_ = std::max(longestMs_, msBetween(posted, SteadyClock::now()));
                ++trips_;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    platform::Platform& ui_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    double longestMs_ = 0;
    int trips_ = 0;
    std::thread thread_;
};

// The program's event loop in short passes, until the condition holds or the time is up.
bool pumpUntil(platform::Platform& ui, app::AppState& state, const std::function<bool()>& done,
               double limitMs) {
    const SteadyClock::time_point start = SteadyClock::now();
    while (!done()) {
        if (msBetween(start, SteadyClock::now()) > limitMs) {
            return false;
        }
        if (const std::optional<platform::Event> event = ui.waitEvent(5)) {
            app::dispatchEvent(ui, state, *event);
        }
        app::listWindowTimers(ui, state);
    }
    return true;
}

// One turn of the user-interface thread through everything queued before it (drawing too).
void roundTrip(platform::Platform& ui, app::AppState& state) {
    auto ran = std::make_shared<bool>(false);
    ui.postTask([ran] { *ran = true; });
    pumpUntil(
        ui, state, [&] { return *ran; }, 60000);
}

int run(const std::string& password, FleetListKind kind) {
    std::unique_ptr<platform::Platform> ui = platform::createNativePlatform();
    if (!ui) {
        std::puts("no display");
        return 1;
    }
    app::AppState state;
    if (!app::startProgram(*ui, state, "", app::defaultStartupServices())) {
        std::puts("start-up failed");
        return 1;
    }
    state.fleet.password = password;
    fleetlists::ListWindowState& list = state.list(kind);
    app::openListWindowOnce(*ui, state, kind);
    if (!list.window) {
        std::puts("the list window did not open");
        return 1;
    }
    // The cache file of an earlier run must not stand in for the download.
    list.rows.clear();
    roundTrip(*ui, state);

    StallWatch watch(*ui);

    // --- download
    watch.reset();
    const SteadyClock::time_point pressed = SteadyClock::now();
    platform::Event click;
    click.kind = platform::EventKind::Control;
    click.window = list.window;
    click.control = list.refreshButton;
    app::dispatchEvent(*ui, state, click);
    const bool finished = pumpUntil(
        *ui, state,
        [&] {
            return !list.workerBusy && ui->isEnabled(list.refreshButton) &&
                   ui->statusText(list.statusBar, 2).find("Fertig") != std::string::npos;
        },
        300000);
    const SteadyClock::time_point shown = SteadyClock::now();
    roundTrip(*ui, state);
    const double downloadStall = watch.longestMs();
    const int rows = ui->listRowCount(list.listView);
    std::printf("download:  %5d rows shown after %8.1f ms%s; longest stall %7.1f ms (%d round "
                "trips)\n",
                rows, msBetween(pressed, shown), finished ? "" : " (NOT FINISHED)", downloadStall,
                watch.trips());

    // --- countdown rewrite at a new 20-minute slot, exactly as the periodic check does it
    watch.reset();
    list.tickMark = 0;
    const SteadyClock::time_point rewrite = SteadyClock::now();
    app::listWindowTimers(*ui, state);
    const SteadyClock::time_point rewritten = SteadyClock::now();
    roundTrip(*ui, state);
    const SteadyClock::time_point drawn = SteadyClock::now();
    std::printf("countdown: %5d rows rewritten in  %8.1f ms; drawn after %7.1f ms; longest stall "
                "%7.1f ms\n",
                rows, msBetween(rewrite, rewritten), msBetween(rewrite, drawn),
                std::max(watch.longestMs(), msBetween(rewrite, drawn)));

    // --- closing writes the cache file; a fresh program opens the window from it
    fleetlists::closeListWindow(*ui, state.fleet, kind);
    list.rows.clear();
    roundTrip(*ui, state);
    watch.reset();
    const SteadyClock::time_point opening = SteadyClock::now();
    app::openListWindowOnce(*ui, state, kind);
    const SteadyClock::time_point opened = SteadyClock::now();
    roundTrip(*ui, state);
    const SteadyClock::time_point answered = SteadyClock::now();
    std::printf("cache:     %5d rows opened in     %8.1f ms; window answers after %7.1f ms; "
                "longest stall %7.1f ms\n",
                ui->listRowCount(list.listView), msBetween(opening, opened),
                msBetween(opening, answered),
                std::max(watch.longestMs(), msBetween(opening, answered)));
    std::fflush(stdout);

    fleetlists::closeListWindow(*ui, state.fleet, kind);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::puts("usage: bench_list_fill PASSWORD [allied|enemy]");
        return 2;
    }
    const FleetListKind kind =
        argc > 2 && std::string(argv[2]) == "allied" ? FleetListKind::Allied : FleetListKind::Enemy;
    const int code = run(argv[1], kind);
    std::fflush(nullptr);
    // The program ends the same way: a worker that still waits owns what it touches.
    std::_Exit(code);
}
