#pragma once
// What "Übernehmen" hands to the submission: the entry dialog as it stood when the player
// confirmed it, read on the user-interface thread, so that the worker never touches a control.

#include "fleetlists/fleet_entry.h"

#include <string>

namespace reef::fleetlists {

enum class DialogMode { New = 0, Change = 1 };

struct EntrySubmission {
    FleetListKind kind = FleetListKind::Allied;
    DialogMode mode = DialogMode::New;

    // Selected item of the help list and of the mission list; -1 when none is selected.
    int helpSelection = -1;
    int missionSelection = -1;

    // The texts of the fields as typed; the request builders trim and convert them.
    std::string Name;
    std::string Allianz;
    std::string Basis;
    std::string Punkte;
    std::string Schiffe;
    std::string ZielName;
    std::string ZielAllianz;
    std::string ZielBasis;
    std::string ZielPunkte;
    std::string Von;       // enemy dialog only
    std::string ZielZeit;  // "am Ziel"
    std::string BasisZeit; // "Rückkehr"
    std::string password;  // the dialog's password field; it has become ListPassword

    FleetEntry editCopy; // the entry a change replaces; unused for a new entry
};

} // namespace reef::fleetlists
