#!/usr/bin/env bash
# Packs the players' zip ReefTools-<version>-win64.zip: the exe, the guide Anleitung.txt and an
# example Server.dat, both texts in Windows-1252 with CR LF line ends, as Notepad and the
# program read them. The same inputs give the same bytes: a fixed order of the entries, one
# time stamp for all of them (SOURCE_DATE_EPOCH, else the time of the last commit), fixed
# modes, and no owner or extra time fields.
# Usage: player-zip.sh EXE VERSION OUTPUT_DIR   (prints the path of the zip)
set -euo pipefail
if [ $# -ne 3 ]; then
    echo "usage: $0 EXE VERSION OUTPUT_DIR" >&2
    exit 2
fi
exe=$1
version=$2
out_dir=$3
root=$(cd "$(dirname "$0")/.." && pwd)
texts=$root/res/release

case $version in
'' | *[!0-9.]*)
    echo "player-zip: not a version: '$version'" >&2
    exit 2
    ;;
esac
if [ ! -f "$exe" ]; then
    echo "player-zip: no such file: $exe" >&2
    exit 1
fi
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) || {
        echo "player-zip: set SOURCE_DATE_EPOCH (there is no commit to take the time from)" >&2
        exit 1
    }
fi
# Zip keeps local wall-clock times; in UTC they stand for the same moment everywhere.
export TZ=UTC
stamp=$(date -d "@$SOURCE_DATE_EPOCH" +%Y%m%d%H%M.%S)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# UTF-8 with LF (as kept in the repository) to Windows-1252 with CR LF; a character without a
# Windows-1252 form stops the packing instead of turning into something else.
windows_text() { # source target
    sed -e "s/@VERSION@/$version/g" -e 's/\r$//' -e 's/$/\r/' "$1" | iconv -f UTF-8 -t CP1252 >"$2"
}

files=(ReefTools.exe Anleitung.txt Server.dat)
cp "$exe" "$stage/ReefTools.exe"
windows_text "$texts/Anleitung.txt" "$stage/Anleitung.txt"
windows_text "$texts/Server.dat" "$stage/Server.dat"
for name in "${files[@]}"; do
    chmod 0644 "$stage/$name"
    touch -t "$stamp" "$stage/$name"
done

mkdir -p "$out_dir"
zip_path="$(cd "$out_dir" && pwd)/ReefTools-$version-win64.zip"
# zip adds to an existing archive; start from none.
rm -f "$zip_path"
(cd "$stage" && zip -X -D -9 -q "$zip_path" "${files[@]}")
echo "$zip_path"
