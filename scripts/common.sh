# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by scripts/run and scripts/test: packages, build directory, configure and build.
# Sourced, not run.

ORVANE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ORVANE_ROOT/scripts/contract.sh"
ORVANE_BUILD="${ORVANE_BUILD:-$ORVANE_ROOT/build}"

# What building the program needs.
ORVANE_BUILD_PACKAGES=(cmake make g++ pkg-config qtbase5-dev qtbase5-dev-tools libhidapi-dev libudev-dev libxcb1-dev)
# What building and checking the Debian package needs (scripts/package), and what checks its launcher and metadata.
ORVANE_PACKAGING_PACKAGES=(build-essential dpkg-dev debhelper lintian appstream desktop-file-utils)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "orvane: '$*' needs root; run this as root or install sudo" >&2
        return 1
    fi
}

# Installs the Debian packages of the arguments that are not installed yet.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "orvane: installing ${missing[*]}"
        as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq -o DPkg::Lock::Timeout=600
        # Waits for another apt or dpkg run (another checkout's scripts, a package test) rather than failing.
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            -o DPkg::Lock::Timeout=600 "${missing[@]}"
    fi
}

# Configures (once) and builds the given targets, or everything.
build_orvane() {
    if [ ! -f "$ORVANE_BUILD/CMakeCache.txt" ]; then
        cmake -S "$ORVANE_ROOT" -B "$ORVANE_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${ORVANE_CMAKE_ARGS[@]}"
    fi
    if [ "$#" -gt 0 ]; then
        local targets=()
        local t
        for t in "$@"; do targets+=(--target "$t"); done
        cmake --build "$ORVANE_BUILD" -j"$(nproc)" "${targets[@]}"
    else
        cmake --build "$ORVANE_BUILD" -j"$(nproc)"
    fi
}
