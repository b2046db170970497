#pragma once
// The alliance "Demo" of "serve --demo", for trying the desktop program out.

#include "listserver/core/server_key.h"
#include "listserver/core/store.h"

#include <string>

namespace reef::listserver {

// Makes sure the alliance "Demo" exists and says where its password is. A new one gets a
// random password, shown only when standard output is a terminal, else written to
// DB.demo-password for the server's user alone: a log or a journal is no place for it. An
// existing one is left as it is, password included. Returns the line for the admin.
std::string setUpDemoAlliance(ListStore& store, const ServerKey& key, const std::string& db);

std::string demoPasswordFileFor(const std::string& databasePath);

} // namespace reef::listserver
