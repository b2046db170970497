#include "app/list_workers.h"

#include "exchange/exchange_texts.h"
#include "exchange/fleet_record.h"
#include "exchange/list_download.h"
#include "exchange/list_exchange_sink.h"
#include "exchange/list_submission.h"
#include "fleetlists/entry_dialog.h"
#include "fleetlists/list_view_fill.h"
#include "fleetlists/list_window.h"
#include "fleetlists/tray_alerts.h"
#include "platform/error_message.h"

#include <memory>
#include <mutex>
#include <system_error>
#include <utility>

namespace reef::app {

namespace {

using fleetlists::FleetListKind;
using fleetlists::FleetLists;
using fleetlists::ListWindowState;

// The user-interface side of one worker. Every call is carried over to the user-interface
// thread; there it touches the list window only while the window of the worker's opening is
// still open. The tasks refer to the platform and the lists, which live as long as tasks
// are run; the worker itself holds only its own shared pieces.
class ListWindowSink final : public exchange::ListExchangeSink {
  public:
    ListWindowSink(platform::Platform& ui, FleetLists& fleet, FleetListKind kind,
                   std::shared_ptr<platform::UiBridge> bridge)
        : ui_(ui), fleet_(fleet), kind_(kind), generation_(fleet.list(kind).generation),
          openGeneration_(fleet.list(kind).openGeneration), bridge_(std::move(bridge)) {}

    bool windowOpen() override { return openGeneration_->load() == generation_; }

    // A text that follows one of the same field which is still waiting for its turn takes
    // that one's place: a fast download's byte counts then cost the user-interface thread
    // one redraw per turn, not one per block, and what stands in the field at every turn
    // is the same.
    void setStatus(int field, const std::string& text) override {
        if (const std::shared_ptr<PendingStatus> pending = lastStatus_) {
            std::lock_guard<std::mutex> lock(pending->mutex);
            if (!pending->shown && pending->field == field) {
                pending->text = text;
                return;
            }
        }
        auto pending = std::make_shared<PendingStatus>();
        pending->field = field;
        pending->text = text;
        onWindow([pending](platform::Platform& ui, ListWindowState& list) {
            std::string shown;
            {
                std::lock_guard<std::mutex> lock(pending->mutex);
                pending->shown = true;
                shown = pending->text;
            }
            fleetlists::setStatusField(ui, list, pending->field, shown);
        });
        lastStatus_ = std::move(pending);
    }

    void showError(const std::string& text) override {
        lastStatus_.reset();
        bridge_->call([&ui = ui_, text] { platform::showError(ui, text); });
    }

    std::string askNewPassword() override {
        lastStatus_.reset();
        const std::optional<std::string> answer = bridge_->call([&ui = ui_, &fleet = fleet_] {
            fleet.password = ui.inputBox("Reef - Tools", "Bitte neues Passwort angeben:", "");
            return fleet.password;
        });
        return answer.value_or(std::string());
    }

    void listReceived(std::vector<fleetlists::FleetEntry> rows) override {
        auto shared = std::make_shared<std::vector<fleetlists::FleetEntry>>(std::move(rows));
        onWindow(
            [shared, &fleet = fleet_, kind = kind_](platform::Platform& ui, ListWindowState& list) {
                const std::int64_t now = ui.clock().localNow();
                fleetlists::alertOnDownload(ui, fleet, kind, list.rows, *shared, now);
                list.rows = std::move(*shared);
                exchange::sortByReturnTicks(list.rows, now);
                fleetlists::fillListView(ui, list.listView, fleet.tables, kind, list.rows, now);
                // The refilled view has no selected row, so no row's sentence may stay below it.
                ui.setText(list.descriptionLine, fleetlists::kDescriptionPrompt);
            });
    }

    // The task runs on the user-interface thread only while the worker's window is open.
    template <typename Task> void onWindow(Task task) {
        lastStatus_.reset();
        bridge_->post([&ui = ui_, &fleet = fleet_, kind = kind_, generation = generation_,
                       task = std::move(task)]() mutable {
            ListWindowState& list = fleet.list(kind);
            if (list.window && list.generation == generation) {
                task(ui, list);
            }
        });
    }

    // The worker's last word: the list is free again whatever happened to its window.
    template <typename Task> void atEnd(Task task) {
        lastStatus_.reset();
        bridge_->post([&ui = ui_, &fleet = fleet_, kind = kind_, generation = generation_,
                       task = std::move(task)]() mutable {
            ListWindowState& list = fleet.list(kind);
            list.workerBusy = false;
            task(ui, list, list.window && list.generation == generation);
            if (list.window && !list.dialog) {
                fleetlists::giveButtonsBack(ui, list);
            }
        });
    }

  private:
    struct PendingStatus {
        std::mutex mutex;
        int field = 0;
        std::string text;
        bool shown = false;
    };

    platform::Platform& ui_;
    FleetLists& fleet_;
    FleetListKind kind_;
    std::uint64_t generation_;
    std::shared_ptr<std::atomic<std::uint64_t>> openGeneration_;
    std::shared_ptr<platform::UiBridge> bridge_;
    // The last task this sink posted when it was a status text; touched by the worker only.
    std::shared_ptr<PendingStatus> lastStatus_;
};

// The system would not start the worker: the list is free again at once, with the reason in
// its status bar, and a due auto-update waits its interval before it asks again.
void workerNotStarted(platform::Platform& ui, ListWindowState& list) {
    list.workerBusy = false;
    if (!list.window) {
        return;
    }
    if (list.dialog) {
        ui.setWindowEnabled(list.dialog, true);
    } else {
        fleetlists::giveButtonsBack(ui, list);
    }
    fleetlists::setStatusField(ui, list, exchange::kStatusExchangeField,
                               std::string(exchange::kStatusWorkerNotStarted));
}

} // namespace

void startListDownload(platform::Platform& ui, AppState& state, FleetListKind kind) {
    ListWindowState& list = state.list(kind);
    if (list.workerBusy) {
        return; // one worker per list; its end gives the buttons back
    }
    list.workerBusy = true;
    exchange::DownloadJob job;
    job.kind = kind;
    job.password = state.fleet.password;
    job.server = state.serverConfig.listServer;
    job.proxy = state.proxy;
    auto sink = std::make_shared<ListWindowSink>(ui, state.fleet, kind, state.bridge);
    platform::Clock& clock = ui.clock();
    try {
        state.workers.start([job = std::move(job), sink, &clock] {
            const exchange::DownloadOutcome outcome = exchange::runListDownload(job, *sink, clock);
            sink->atEnd([outcome](platform::Platform& ui, ListWindowState& list, bool) {
                if (outcome != exchange::DownloadOutcome::WindowClosed) {
                    list.lastUpdateTick = ui.clock().tickCountMs();
                }
            });
        });
    } catch (const std::system_error&) {
        list.lastUpdateTick = ui.clock().tickCountMs();
        workerNotStarted(ui, list);
    }
}

void startEntrySubmission(platform::Platform& ui, AppState& state,
                          const fleetlists::EntrySubmission& submission) {
    const FleetListKind kind = submission.kind;
    ListWindowState& list = state.list(kind);
    state.fleet.password = submission.password;
    if (list.workerBusy || !list.dialog) {
        return;
    }
    list.workerBusy = true;
    ui.setWindowEnabled(list.dialog, false);
    exchange::SubmissionJob job;
    job.entry = submission;
    job.server = state.serverConfig.listServer;
    job.proxy = state.proxy;
    auto sink = std::make_shared<ListWindowSink>(ui, state.fleet, kind, state.bridge);
    const std::uint64_t dialogGeneration = list.dialogGeneration;
    platform::Clock& clock = ui.clock();
    try {
        state.workers.start([job = std::move(job), sink, &clock, &fleet = state.fleet, kind,
                             dialogGeneration] {
            const exchange::SubmissionOutcome outcome = exchange::runSubmission(job, *sink, clock);
            sink->atEnd([outcome, &fleet, kind, dialogGeneration](platform::Platform& ui,
                                                                  ListWindowState& list, bool own) {
                const bool ownDialog =
                    own && list.dialog && list.dialogGeneration == dialogGeneration;
                if (!ownDialog) {
                    return;
                }
                if (outcome == exchange::SubmissionOutcome::Accepted) {
                    fleetlists::closeEntryDialog(ui, fleet, kind);
                } else if (outcome == exchange::SubmissionOutcome::Failed) {
                    ui.setWindowEnabled(list.dialog, true);
                }
            });
        });
    } catch (const std::system_error&) {
        workerNotStarted(ui, list);
    }
}

void releaseWorkers(AppState& state) {
    for (ListWindowState& list : state.fleet.lists) {
        list.openGeneration->store(0);
    }
    if (state.bridge) {
        state.bridge->detach();
    }
}

} // namespace reef::app
