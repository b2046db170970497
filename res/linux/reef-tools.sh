#!/bin/sh
# Starts the program in the player's own folder, which holds its files (Server.dat from the
# alliance, the cached lists, the settings): REEF_TOOLS_HOME, else reef-tools in the user's
# data folder.
folder=${REEF_TOOLS_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/reef-tools}
mkdir -p "$folder" && cd "$folder" || exit 1
exec /usr/lib/reef-tools/reef-tools "$@"
