#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: syntaxcheck.sh COMPILER SRC_DIR FLAGS_FILE
# Compiles for syntax only, with the Windows cross compiler, every file of SRC_DIR that a Windows build compiles
# differently: Windows-only sources, shared files with a Q_OS_WIN block, the entry point, the controller and the
# transport. The list is made afresh each run, so that a new Windows file is checked without naming it here.
set -euo pipefail

cxx=$1 src=$2 flags=$3
if ! command -v "$cxx" >/dev/null 2>&1; then
    echo "windows check: $cxx not found; install the Debian package g++-mingw-w64-x86-64-posix" >&2
    exit 1
fi
if [ ! -f "$flags" ]; then
    echo "windows check: $flags is missing; configure the build again" >&2
    exit 1
fi

# Under platform/ every file is for one OS, so only the *_win.cpp files there are Windows sources.
mapfile -t files < <({
    find "$src" -name '*_win.cpp'
    grep -rlE --exclude-dir=platform --include='*.cpp' --include='*.h' \
        '^[[:space:]]*#[[:space:]]*(if|ifdef|ifndef|elif).*\bQ_OS_WIN' "$src"
    printf '%s\n' "$src/main.cpp" "$src"/gui/mainwidget*.cpp "$src/device/usbhidapi.cpp"
} | sort -u)

failed=0
for file in "${files[@]}"; do
    echo "windows check: ${file#"$src"/}"
    if ! "$cxx" -fsyntax-only -x c++ "@$flags" "$file"; then
        failed=$((failed + 1))
    fi
done
echo "windows check: ${#files[@]} files, $failed failed"
[ "$failed" -eq 0 ]
