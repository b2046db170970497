#!/usr/bin/env bash
# Fuzzes reef-listserver's request handling; kept for those used to it, scripts/fuzz.sh runs
# this and every other fuzz target.
#
# Usage: scripts/listserver-fuzz.sh [SECONDS]    (default 600)
exec "$(dirname "$0")/fuzz.sh" listserver_request "${1:-600}"
