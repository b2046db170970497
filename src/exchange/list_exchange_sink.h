#pragma once
// The one way a list server exchange reaches the user interface. The worker calls it from
// its own thread; the list window behind it carries each call over to the user-interface
// thread and drops what arrives for a window that has been closed in the meantime.

#include "fleetlists/fleet_entry.h"

#include <string>
#include <vector>

namespace reef::exchange {

// Fields of a list window's status bar.
inline constexpr int kStatusUpdateTimeField = 0; // plain: time of the last update
inline constexpr int kStatusOperationField = 1;  // centred: what runs
inline constexpr int kStatusExchangeField = 2;   // right-aligned: "Status: ..."

class ListExchangeSink {
  public:
    virtual ~ListExchangeSink() = default;

    // The window check: false once the list window the exchange serves has been closed.
    // After false the worker touches nothing more and ends.
    virtual bool windowOpen() = 0;
    // The text of a status bar field, without alignment characters: the sink adds the one
    // tab that centres field 1 and the two that right-align field 2.
    virtual void setStatus(int field, const std::string& text) = 0;
    // The modal box "Error: Reef - Tools" with an error icon; returns once it is answered.
    virtual void showError(const std::string& text) = 0;
    // After a wrong password: the input requester "Bitte neues Passwort angeben:" (caption
    // "Reef - Tools", empty default). Its answer becomes ListPassword and is returned.
    virtual std::string askNewPassword() = 0;
    // A whole new list, in the order it arrived: the sink swaps it in for the old rows,
    // sorts it with sortByReturnTicks and fills the list view.
    virtual void listReceived(std::vector<fleetlists::FleetEntry> rows) = 0;
};

} // namespace reef::exchange
