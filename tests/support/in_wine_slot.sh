#!/usr/bin/env bash
# Runs a Windows test (the command after this script: wine with a test executable, or a
# test's own script) in the Wine slot that ctest gave it. The test command makes a few slots,
# each an X display and a Wine prefix of its own, so that tests with windows can run side by
# side without taking the keyboard focus, the clipboard or the Wine processes from each
# other. ctest hands out the slots (the resource "wine" of the spec file the test command
# writes) and names the one it gave in CTEST_RESOURCE_GROUP_0_WINE ("id:<n>,slots:1"); the
# folder REEF_WINE_SLOTS holds, per slot <n>, the files <n>/display and <n>/prefix. Without
# them (ctest run by hand) the command runs with the DISPLAY and WINEPREFIX it was given.
set -u
if [ -n "${REEF_WINE_SLOTS:-}" ] && [ -n "${CTEST_RESOURCE_GROUP_0_WINE:-}" ]; then
    slot=${CTEST_RESOURCE_GROUP_0_WINE#id:}
    slot=${slot%%,*}
    if ! [[ "$slot" =~ ^[0-9]+$ ]] || [ ! -s "$REEF_WINE_SLOTS/$slot/display" ]; then
        echo "FAIL: no Wine slot \"$CTEST_RESOURCE_GROUP_0_WINE\" in $REEF_WINE_SLOTS" >&2
        exit 1
    fi
    DISPLAY=$(cat "$REEF_WINE_SLOTS/$slot/display")
    WINEPREFIX="$REEF_WINE_SLOTS/$slot/prefix"
    export DISPLAY WINEPREFIX
fi
exec "$@"
