#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine and prepares the
# SQLite amalgamation for the Windows builds. Safe to run again: it only does what is missing.
set -euo pipefail

CACHE_DIR="${PELMORA_CACHE:-$HOME/.cache/pelmora}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
    build-essential g++ cmake ninja-build pkg-config git file
    mingw-w64 wine wine64 wine32:i386 xvfb x11-utils xdotool imagemagick icoutils nsis
    libsqlite3-dev sqlite3 googletest libgtest-dev libcli11-dev nlohmann-json3-dev
    dpkg-dev tcl python3 clang-format clang-tidy python3-pil fonts-dejavu-core fonts-wine fonts-wqy-zenhei
    clang libclang-rt-14-dev
    zip help2man lintian python3-yaml python3-jsonschema
    osslsigncode gnupg softhsm2 libengine-pkcs11-openssl
)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

enable_deb_src() {
    # Debian 12 ships deb822 sources; add deb-src to every stanza that lacks it.
    local changed=0
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        if grep -q '^Types: deb$' "$f"; then
            $SUDO sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"
            changed=1
        fi
    done
    if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list \
        && ! grep -q '^deb-src ' /etc/apt/sources.list; then
        grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
            | $SUDO tee -a /etc/apt/sources.list >/dev/null
        changed=1
    fi
    return $changed
}

need_update=0
enable_deb_src || need_update=1
# 32-bit Wine runs the x86 build and the installer, which is a 32-bit program.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    need_update=1
fi
if [ ${#missing[@]} -gt 0 ] || [ ! -f "$CACHE_DIR/sqlite/sqlite3.c" ]; then
    need_update=1
fi

export DEBIAN_FRONTEND=noninteractive
if [ $need_update -eq 1 ]; then
    $SUDO apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Windows builds compile SQLite from Debian's own source package, so that native and
# Windows builds use the same release.
if [ ! -f "$CACHE_DIR/sqlite/sqlite3.c" ]; then
    echo "setup: generating the SQLite amalgamation in $CACHE_DIR/sqlite"
    work="$CACHE_DIR/sqlite-src"
    rm -rf "$work"
    mkdir -p "$work"
    (cd "$work" && apt-get source -qq --download-only sqlite3 && dpkg-source -x ./*.dsc src >/dev/null)
    (cd "$work/src" && ./configure --disable-tcl >/dev/null && make -s sqlite3.c >/dev/null)
    mkdir -p "$CACHE_DIR/sqlite"
    cp "$work/src/sqlite3.c" "$work/src/sqlite3.h" "$CACHE_DIR/sqlite/"
    grep -m1 '#define SQLITE_VERSION ' "$CACHE_DIR/sqlite/sqlite3.h"
    rm -rf "$work"
fi
echo "setup: ready (SQLite amalgamation in $CACHE_DIR/sqlite)"
