#!/usr/bin/env bash
# Builds a release into build/release:
#   ReefTools-<version>-win64.zip      the stripped exe, the players' guide Anleitung.txt and an
#                                      example Server.dat
#   reef-listserver_<version>_<arch>.deb  the list server with its systemd unit, for
#                                      `apt install ./reef-listserver_*.deb` on Debian 12
#   reef-tools_<version>_amd64.deb     the Linux desktop program on GTK 3 with its menu entry,
#                                      for `apt install ./reef-tools_*.deb` on Debian 12
# Each is the same bytes when made again from the same commit.
# The version is the CMake project's. Ends with the files, their sizes and SHA-256 sums.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/packages.sh
reef_install_packages "${REEF_BUILD_PACKAGES[@]}" "${REEF_RELEASE_PACKAGES[@]}"

fail() {
    echo "release: $*" >&2
    exit 1
}

# One time stamp for every file packed, the last commit's, so that a second run gives the same
# bytes (player-zip.sh and CPack both take it from here).
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) || fail "no commit to take the time stamp from"
fi
export SOURCE_DATE_EPOCH

out=build/release
log=build/build-release.log
mkdir -p "$out"
echo "Building the program and the list server (log: $log)"
{
    # The released exe carries the project's built-in server values, whatever was configured
    # here before; players get theirs from Server.dat.
    cmake --preset windows -U REEF_LIST_SERVER -U REEF_PASSWORD_SITE &&
        cmake --build --preset windows -j"$(nproc)" --target player_zip &&
        cmake --preset native-release &&
        cmake --build --preset native-release -j"$(nproc)" --target reef-listserver &&
        cmake --preset linux -U REEF_LIST_SERVER -U REEF_PASSWORD_SITE &&
        cmake --build --preset linux -j"$(nproc)" --target reef-tools
} >"$log" 2>&1 || {
    tail -n 40 "$log"
    fail "the build failed (log: $log)"
}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
[ -n "$version" ] || fail "no project version in build/windows/CMakeCache.txt"

exe=build/windows/ReefTools.exe
exe_size=$(stat -c %s "$exe")
[ "$exe_size" -lt 2000000 ] || fail "$exe is $exe_size bytes, not under 2 MB"
if x86_64-w64-mingw32-objdump -h "$exe" | grep -q '\.debug'; then
    fail "$exe still has debug sections"
fi

zip_name=ReefTools-$version-win64.zip
cp build/windows/release/"$zip_name" "$out/"
# A second packing of the same exe must give the same bytes.
again=$(mktemp -d)
trap 'rm -rf "$again"' EXIT
bash scripts/player-zip.sh "$exe" "$version" "$again" >/dev/null
cmp -s "$out/$zip_name" "$again/$zip_name" || fail "a second packing of $zip_name differs"

echo "Packing the list server"
rm -f "$out"/reef-listserver_*.deb
(cd build/native-release && cpack -G DEB -B "$root/build/native-release/package") >>"$log" 2>&1 || {
    tail -n 40 "$log"
    fail "cpack failed (log: $log)"
}
deb=$(ls build/native-release/package/reef-listserver_"$version"_*.deb)
cp "$deb" "$out/"
deb=$out/$(basename "$deb")
contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/reef-listserver ./usr/lib/systemd/system/reef-listserver.service; do
    grep -q " $path\$" <<<"$contents" || fail "$deb lacks $path"
done
dpkg-deb -f "$deb" Depends | grep -q libmicrohttpd || fail "$deb does not depend on libmicrohttpd"
(cd build/native-release && cpack -G DEB -B "$again/package") >>"$log" 2>&1 ||
    fail "the second cpack failed (log: $log)"
cmp -s "$deb" "$again/package/$(basename "$deb")" || fail "a second packing of $deb differs"

echo "Packing the desktop program"
rm -f "$out"/reef-tools_*.deb
desktop_deb=$(bash scripts/desktop-deb.sh build/linux/reef-tools "$version" "$out")
contents=$(dpkg-deb -c "$desktop_deb")
for path in ./usr/bin/reef-tools ./usr/lib/reef-tools/reef-tools \
    ./usr/share/applications/reef-tools.desktop ./usr/share/icons/hicolor/32x32/apps/reef-tools.png; do
    grep -q " $path\$" <<<"$contents" || fail "$desktop_deb lacks $path"
done
dpkg-deb -f "$desktop_deb" Depends | grep -q libgtk-3-0 || fail "$desktop_deb does not depend on GTK 3"
bash scripts/desktop-deb.sh build/linux/reef-tools "$version" "$again" >/dev/null
cmp -s "$desktop_deb" "$again/$(basename "$desktop_deb")" || fail "a second packing of $desktop_deb differs"

echo
echo "Release $version in $out:"
for file in "$out/$zip_name" "$deb" "$desktop_deb"; do
    printf '  %s  %s bytes  sha256 %s\n' "$(basename "$file")" "$(stat -c %s "$file")" \
        "$(sha256sum "$file" | cut -d' ' -f1)"
done
printf '  (ReefTools.exe inside: %s bytes)\n' "$exe_size"
