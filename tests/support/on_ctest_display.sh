#!/usr/bin/env bash
# Runs a test on its X display in the GTK lane of the test command: that lane starts a few
# private Xvfb displays and hands them out with ctest's resource allocation (the resource
# "display", one per test, its id the display's number), so that tests with windows run side
# by side, each alone on its display (the keyboard focus and the clipboard are the display's).
# ctest names the display in CTEST_RESOURCE_GROUP_0_DISPLAY ("id:<n>,slots:1"); without it
# (ctest run by hand, test discovery) the test runs on the DISPLAY it was given.
set -u
if [ -n "${CTEST_RESOURCE_GROUP_0_DISPLAY:-}" ]; then
    number=${CTEST_RESOURCE_GROUP_0_DISPLAY#id:}
    number=${number%%,*}
    if ! [[ "$number" =~ ^[0-9]+$ ]]; then
        echo "FAIL: no display in \"$CTEST_RESOURCE_GROUP_0_DISPLAY\"" >&2
        exit 1
    fi
    export DISPLAY=":$number"
fi
exec "$@"
