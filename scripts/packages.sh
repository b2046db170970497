# Sourced by run.sh and test.sh: installs the Debian packages the project needs, only those
# missing, so a second run costs nothing.
reef_install_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Everything the build needs: native (tests, list server; linked with lld), the native desktop
# program on GTK 3, the fuzz build (Clang with libFuzzer) and the Windows cross build.
REEF_BUILD_PACKAGES=(
    cmake ninja-build make g++ pkg-config googletest libgtest-dev libgmock-dev libgtk-3-dev
    g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
    libmicrohttpd-dev libsqlite3-dev libsodium-dev libpq-dev
    libcurl4-openssl-dev
    clang libclang-rt-14-dev lld
    nlohmann-json3-dev
)
# What the desktop program needs to run on Linux: the native build's GTK 3 with its icons
# and fonts, and Wine for the Windows build.
REEF_RUN_PACKAGES=(libgtk-3-0 adwaita-icon-theme fonts-liberation fonts-dejavu-core xdg-utils
    wine wine64 xvfb xauth x11-utils xdotool xclip imagemagick)
# Peers the network tests start on loopback.
REEF_TEST_PACKAGES=(tinyproxy dante-server microsocks curl procps tzdata zip unzip postgresql
    dbus-daemon python3-dbus python3-gi)
# The browser that shows the list server's web page to its tests (headless).
REEF_BROWSER_PACKAGES=(chromium)
# What scripts/release.sh needs beyond the build: the zip tool, and what CPack reads the
# list server's library dependencies with.
REEF_RELEASE_PACKAGES=(zip unzip dpkg-dev file)
