#!/bin/bash
# Installs what building, running and testing Startwacht needs on Debian 12:
# the MinGW-w64 cross compilers, g++ for the native sanitizer build, Wine
# with 32-bit support, Xvfb and the X tools the GUI tests use, CMake, Ninja
# and the GoogleTest sources. Installs only what is missing; as root it needs
# no prompt. Further packages that one script alone needs may be named as
# arguments (tools/package.sh: zip nsis).
set -euo pipefail

packages=(
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine64 wine32:i386 fonts-wine
    xvfb x11-utils xdotool imagemagick
    cmake ninja-build g++ googletest locales procps
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

need_locale=0
locale -a 2>/dev/null | grep -qix 'de_DE.utf8' || need_locale=1

if ((${#missing[@]} == 0 && need_locale == 0)); then
    exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
    if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
        exec sudo -n "$0" "$@"
    fi
    echo "Fehlende Pakete: ${missing[*]}" >&2
    echo "Bitte einmal als root ausführen: $0" >&2
    exit 1
fi

if ((${#missing[@]} > 0)); then
    echo "Installiere: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
    # German dates in the log and Wine's German dialogs need this locale.
    localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
