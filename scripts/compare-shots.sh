#!/usr/bin/env bash
# Compares two folders of window pictures made by scripts/window-shots.sh (e.g. of two
# builds) and prints for each window how many pixels differ; a side-by-side picture of each
# pair that differs goes into the second folder as <window>-diff.png.
#   bash scripts/compare-shots.sh BEFORE_DIR AFTER_DIR
set -uo pipefail
before=$1
after=$2
differing=0
for a in "$before"/*.png; do
    name=$(basename "$a" .png)
    b="$after/$name.png"
    case "$name" in *-diff) continue ;; esac
    if [ ! -f "$b" ]; then
        echo "$name: missing in $after"
        differing=$((differing + 1))
        continue
    fi
    pixels=$(compare -metric AE "$a" "$b" null: 2>&1)
    echo "$name: $pixels pixels differ"
    if [ "$pixels" != "0" ]; then
        differing=$((differing + 1))
        convert "$a" "$b" +append "$after/$name-diff.png"
    fi
done
echo "$differing window(s) differ"
[ "$differing" -eq 0 ]
