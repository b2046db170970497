#!/usr/bin/env bash
# The players' zip: the same bytes from two packings whose inputs differ only in what must not
# matter (file times, umask, output folder), every entry stamped with the given time, the
# entries in their fixed order, the exe unchanged, the texts in Windows-1252 with CR LF.
# Usage: player_zip_test.sh PATH/TO/player-zip.sh
set -uo pipefail
pack=$1
source_texts="$(cd "$(dirname "$pack")/.." && pwd)/res/release"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

check() { # description command...
    local description=$1
    shift
    if "$@"; then
        echo "ok: $description"
    else
        echo "FAIL: $description"
        failures=$((failures + 1))
    fi
}

# Bytes that no text conversion leaves alone: CR, LF, NUL and high bytes.
printf 'MZ\r\n\n\0\xfc\xe4 fake exe\n' >"$work/ReefTools.exe"
epoch=1700000000 # 2023-11-14 22:13:20 UTC

first=$(SOURCE_DATE_EPOCH=$epoch bash "$pack" "$work/ReefTools.exe" 9.8.7.6 "$work/first")
touch -d '2001-02-03 04:05:06' "$work/ReefTools.exe"
second=$(umask 077 && SOURCE_DATE_EPOCH=$epoch TZ=Asia/Tokyo bash "$pack" "$work/ReefTools.exe" 9.8.7.6 "$work/second")

same_bytes() { cmp -s "$first" "$second"; }
named_after_version() { [ "$(basename "$first")" = ReefTools-9.8.7.6-win64.zip ]; }
entries_in_order() { [ "$(unzip -Z1 "$first" | tr '\n' ' ')" = "ReefTools.exe Anleitung.txt Server.dat " ]; }
stamped_with_epoch() {
    # zipinfo -T shows each entry's time as yyyymmdd.hhmmss; zip stores wall-clock times, read
    # here in UTC as the packing wrote them.
    local times
    times=$(TZ=UTC zipinfo -T -l "$first" | awk '/^-/ { print $8 }' | sort -u)
    [ "$times" = 20231114.221320 ]
}
mode_0644() { [ "$(zipinfo "$first" | grep -c '^-rw-r--r--')" = 3 ]; }
# Extra fields carry access times and owners, which differ from one machine or run to the next.
no_extra_fields() { ! zipinfo -v "$first" | grep -q 'length of extra field: *[1-9]'; }
exe_unchanged() { unzip -p "$first" ReefTools.exe | cmp -s - "$work/ReefTools.exe"; }
crlf_only() { # entry
    local text
    text=$(unzip -p "$first" "$1" | od -An -c | tr -s ' \n' ' ')
    # Every LF follows a CR, and the text ends with CR LF.
    [ "$(unzip -p "$first" "$1" | grep -c $'\r$')" = "$(unzip -p "$first" "$1" | wc -l)" ] &&
        [[ $text == *'\r \n ' ]]
}
guide_as_written() {
    # Back to UTF-8 without CR it is the repository's text with the version filled in.
    diff <(unzip -p "$first" Anleitung.txt | iconv -f CP1252 -t UTF-8 | tr -d '\r') \
        <(sed 's/@VERSION@/9.8.7.6/g' "$source_texts/Anleitung.txt") >/dev/null
}
guide_in_cp1252() {
    # "für" is f, 0xFC, r in Windows-1252 (in UTF-8 it would be f, 0xC3, 0xBC, r).
    unzip -p "$first" Anleitung.txt | LC_ALL=C grep -q $'f\xfcr ' &&
        ! unzip -p "$first" Anleitung.txt | LC_ALL=C grep -q $'\xc3\xbc'
}
guide_names_version() { unzip -p "$first" Anleitung.txt | grep -q 'Reef - Tools 9\.8\.7\.6 '; }
server_dat_as_written() {
    diff <(unzip -p "$first" Server.dat | iconv -f CP1252 -t UTF-8 | tr -d '\r') \
        "$source_texts/Server.dat" >/dev/null
}

check "two packings give the same bytes" same_bytes
check "the zip is named after the version" named_after_version
check "the entries are exe, guide, Server.dat in this order" entries_in_order
check "every entry carries the time of SOURCE_DATE_EPOCH" stamped_with_epoch
check "every entry has mode 0644" mode_0644
check "no entry has extra fields" no_extra_fields
check "the exe is packed unchanged" exe_unchanged
check "the guide has CR LF line ends only" crlf_only Anleitung.txt
check "Server.dat has CR LF line ends only" crlf_only Server.dat
check "the guide is the repository's text with the version" guide_as_written
check "the guide is in Windows-1252" guide_in_cp1252
check "the guide names the version" guide_names_version
check "Server.dat is the repository's example" server_dat_as_written

# Refusals: nothing is packed from a missing exe or under a version that is no version.
missing_exe_refused() {
    ! SOURCE_DATE_EPOCH=$epoch bash "$pack" "$work/none.exe" 1.0 "$work/missing" 2>/dev/null &&
        [ ! -e "$work/missing/ReefTools-1.0-win64.zip" ]
}
bad_version_refused() {
    ! SOURCE_DATE_EPOCH=$epoch bash "$pack" "$work/ReefTools.exe" '1.0;x' "$work/bad" 2>/dev/null &&
        [ ! -d "$work/bad" ]
}
check "a missing exe packs nothing" missing_exe_refused
check "a version with other characters than digits and dots packs nothing" bad_version_refused

echo "$failures failed"
[ "$failures" -eq 0 ]
