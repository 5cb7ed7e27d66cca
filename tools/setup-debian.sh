#!/bin/bash
# Installs what building, running and testing Startwacht needs on Debian 12:
# the MinGW-w64 cross compilers, g++ for the native sanitizer build, Wine
# with 32-bit support, Xvfb and the X tools the GUI tests use, CMake, Ninja
# and the GoogleTest sources. Where Linux runs no 32-bit code, the 32-bit
# Wine runs under qemu's user-mode emulation: then also qemu-user from
# bookworm-backports (bookworm's own is far too slow), whose suite is added
# to apt's sources. Installs only what is missing; as root it needs no
# prompt. Further packages that one script alone needs may be named as
# arguments (tools/package.sh: zip nsis).
set -euo pipefail
source "$(dirname "$0")/wine-session.sh"

# The backports suite as a deb822 entry, from the same mirror and with the
# same key as bookworm's own entry in the given sources file (Debian's
# mirror and archive key where there is none).
#   tools/setup-debian.sh --backports-source FILE   prints it
backports_source() {
    local uri="" key=/usr/share/keyrings/debian-archive-keyring.gpg
    if [[ -f $1 ]]; then
        # The stanza whose suites name bookworm itself.
        local stanza
        stanza=$(awk -v RS= '/(^|\n)Suites:([^\n]* )?bookworm( |\n|$)/ { print; exit }' "$1")
        uri=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' <<<"$stanza" | head -n1)
        [[ -z $stanza ]] || key=$(sed -n 's/^Signed-By: *//p' <<<"$stanza" | head -n1)
    fi
    echo "Types: deb"
    echo "URIs: ${uri:-http://deb.debian.org/debian}"
    echo "Suites: bookworm-backports"
    echo "Components: main"
    [[ -z $key ]] || echo "Signed-By: $key"
}
if [[ "${1:-}" == --backports-source ]]; then
    backports_source "$2"
    exit 0
fi

packages=(
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine64 wine32:i386 fonts-wine
    xvfb x11-utils xdotool imagemagick
    cmake ninja-build g++ googletest locales procps
)
packages+=("$@")

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done

# The emulator is needed where the 32-bit Wine, once installed, does not
# start. Before wine32 is there the question waits for the second round.
# Asked of the system's loader and emulator, the ones this script installs,
# whatever other ones a test names for the session's own choice.
need_emulator() {
    (
        unset WINE_SESSION_LOADER32 WINE_SESSION_QEMU
        [[ -x /usr/lib/wine/wine ]] && ! wine_runs_32bit && ! wine_emulator >/dev/null
    )
}
need_emu=0
need_emulator && need_emu=1

need_locale=0
locale -a 2>/dev/null | grep -qix 'de_DE.utf8' || need_locale=1

if ((${#missing[@]} == 0 && need_emu == 0 && need_locale == 0)); then
    exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
    if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
        exec sudo -n env STARTWACHT_NO_32BIT="${STARTWACHT_NO_32BIT:-}" "$0" "$@"
    fi
    ((need_emu == 0)) || missing+=("qemu-user (bookworm-backports)")
    echo "Fehlende Pakete: ${missing[*]}" >&2
    echo "Bitte einmal als root ausführen: $0" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if ((${#missing[@]} > 0)); then
    echo "Installiere: ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

add_backports() {
    if grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        return 1
    fi
    backports_source /etc/apt/sources.list.d/debian.sources >/etc/apt/sources.list.d/bookworm-backports.sources
    echo "apt-Quelle hinzugefügt: /etc/apt/sources.list.d/bookworm-backports.sources"
}

if need_emulator; then
    echo "Dieser Rechner führt keine 32-Bit-Linux-Programme aus: installiere qemu-user aus bookworm-backports für die 32-Bit-Programme."
    add_backports || true
    apt-get update -q
    # Without --no-install-recommends it would bring qemu-user-binfmt, which
    # changes how the whole machine starts foreign programs.
    apt-get install -y -q --no-install-recommends -t bookworm-backports qemu-user
    if need_emulator; then
        echo "qemu-i386 ab Version 10 ist nach der Installation nicht da." >&2
        exit 1
    fi
fi

if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
    # German dates in the log and Wine's German dialogs need this locale.
    localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
