# Functions for a Wine session of our own: a prefix, a display, one
# wineserver and the keeper process. Source this file, then call
#   wine_session_start <session-dir> <keeper.exe> [--throwaway]
# and wine_session_stop (also from a trap). Everything started here is
# stopped by PID; nothing is ended by name. The session's processes run in
# process groups of their own, so a Ctrl-C in the terminal reaches only the
# script, whose trap then stops them in order.

wine_session_log() { [[ -n "${WINE_SESSION_QUIET:-}" ]] || echo "$@" >&2; }

# Whether this machine runs 32-bit Linux programs, and with them the 32-bit
# Wine natively. Asks the 32-bit Wine loader itself (installed with wine32):
# a kernel without 32-bit support refuses to start it ("Exec format error").
# STARTWACHT_NO_32BIT=1 answers "no" on any machine, so that the emulated
# path can be tried everywhere.
# (WINE_SESSION_LOADER32 names another loader, for the probe's own test.)
wine_runs_32bit() {
    [[ "${STARTWACHT_NO_32BIT:-}" != 1 ]] || return 1
    "${WINE_SESSION_LOADER32:-/usr/lib/wine/wine}" --version >/dev/null 2>&1
}

# The emulator that runs the 32-bit Wine where Linux runs no 32-bit code:
# qemu's user-mode i386 of version 10 or later (bookworm's 7.2 takes about
# 50 s per process start and crashed on a threads test). Prints its path.
# (WINE_SESSION_QEMU names another one, for the probe's own test.)
wine_emulator() {
    local qemu=${WINE_SESSION_QEMU:-/usr/bin/qemu-i386} major
    major=$("$qemu" --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9]*\)\..*/\1/p')
    [[ -n $major ]] && ((major >= 10)) || return 1
    echo "$qemu"
}

# How this machine runs 32-bit Windows programs: "native", "emulated"
# (the 32-bit Wine under qemu) or "none".
wine_32bit_mode() {
    if wine_runs_32bit; then
        echo native
    elif wine_emulator >/dev/null; then
        echo emulated
    else
        echo none
    fi
}

# The build this machine runs: i686, the shipped one, wherever 32-bit
# programs run at all, else x86_64.
wine_arch() {
    if [[ $(wine_32bit_mode) != none ]]; then echo i686; else echo x86_64; fi
}

# The line that says the 32-bit programs run under the emulation.
wine_emulation_note() {
    echo "i686: läuft unter qemu-i386 (Emulation) — dieser Rechner führt keine 32-Bit-Linux-Programme aus${1:+ ($1)}"
}

# The line that says the 32-bit programs can't run here at all.
wine_no_32bit_note() {
    echo "i686: nicht ausführbar — dieser Rechner führt keine 32-Bit-Linux-Programme aus, und qemu-i386 ab Version 10 fehlt (Paket qemu-user aus bookworm-backports)${1:+ ($1)}"
}

# The architecture of a build folder (i686 or x86_64), from the toolchain
# its configuration names.
wine_build_arch() {
    sed -n 's%^CMAKE_TOOLCHAIN_FILE:[A-Z]*=.*/\(i686\|x86_64\)-w64-mingw32\.cmake$%\1%p' "$1/CMakeCache.txt" 2>/dev/null | grep .
}

# Where no 32-bit program runs, Debian's "wine" script still picks the 32-bit
# loader while wine32 is installed, and its wineboot, winepath, ... call
# "wine-stable", which does the same. A folder first on PATH whose "wine" and
# "wine-stable" are scripts (a symbolic link to the loader does not work)
# sends all of them to the 64-bit loader. With the emulation, that loader is
# a copy in a folder laid out like /usr/lib/wine: Wine starts a process of
# the other architecture with the loader beside the running one, found by
# its own path, so the 32-bit "wine" there is a script that starts a copy of
# the 32-bit loader under qemu, and names itself as that loader's argv[0]
# so that the 32-bit process's own children come back through it. The
# libraries and data are the system's, through links beside it. Where
# 32-bit programs run natively nothing changes.
wine_use_loader() {
    local dir=$1/loader mode
    mode=$(wine_32bit_mode)
    [[ $mode != native ]] || return 0
    mkdir -p "$dir/bin"
    local loader64=/usr/lib/wine/wine64
    if [[ $mode == emulated ]]; then
        local lib="$dir/usr/lib/wine" qemu
        qemu=$(wine_emulator)
        mkdir -p "$lib" "$dir/usr/share"
        cp -f /usr/lib/wine/wine64 "$lib/wine64"
        cp -f /usr/lib/wine/wine "$lib/wine.i386"
        printf '#!/bin/sh\nexec %q -0 %q %q "$@"\n' "$qemu" "$lib/wine" "$lib/wine.i386" >"$lib/wine"
        chmod +x "$lib/wine"
        ln -sfn /usr/lib/i386-linux-gnu "$dir/usr/lib/i386-linux-gnu"
        ln -sfn /usr/lib/x86_64-linux-gnu "$dir/usr/lib/x86_64-linux-gnu"
        ln -sfn /usr/share/wine "$dir/usr/share/wine"
        loader64="$lib/wine64"
        export WINESERVER=/usr/lib/wine/wineserver64
    fi
    local name
    for name in wine wine-stable; do
        {
            echo '#!/bin/sh'
            printf 'export WINELOADER=%q\n' "$loader64"
            [[ -z ${WINESERVER:-} ]] || printf 'export WINESERVER=%q\n' "$WINESERVER"
            printf 'exec %q "$@"\n' "$loader64"
        } >"$dir/bin/$name"
        chmod +x "$dir/bin/$name"
    done
    case ":$PATH:" in
        *":$dir/bin:"*) ;;
        *) export PATH="$dir/bin:$PATH" ;;
    esac
}

wine_session_start() {
    local dir=$1 keeper=$2
    WINE_SESSION_DIR=$dir
    WINE_SESSION_THROWAWAY=0
    [[ "${3:-}" == "--throwaway" ]] && WINE_SESSION_THROWAWAY=1
    mkdir -p "$dir/tmp"
    wine_use_loader "$dir"

    export WINEPREFIX="$dir/prefix"
    export WINEARCH=win64
    export WINEDEBUG=-all
    # No Mono or Gecko installer dialogs.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [[ $(wine_32bit_mode) == emulated ]]; then
        # Wine's debugger, a 32-bit program started at a crash, hangs under
        # the emulation; without it a crash ends the program at once.
        WINEDLLOVERRIDES+=";winedbg.exe=d"
    fi
    if ((WINE_SESSION_THROWAWAY)); then
        # Debian's Wine keeps its server directory under TMPDIR; a throwaway
        # session keeps it in its own folder. A kept session leaves TMPDIR
        # alone, so plain "WINEPREFIX=... wine ..." from another terminal
        # reaches the same server.
        export TMPDIR="$dir/tmp"
    fi
    if locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
        export LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8
    fi

    if [[ -z "${DISPLAY:-}" ]]; then
        rm -f "$dir/display"
        # Without the prefix in its environment: the final sweep of the
        # prefix's processes is not meant for the X server.
        setsid env -u WINEPREFIX Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
        WINE_SESSION_XVFB=$!
        local i
        for ((i = 0; i < 100; i++)); do
            [[ -s "$dir/display" ]] && break
            sleep 0.1
        done
        export DISPLAY=":$(tr -d '\n' <"$dir/display")"
        wine_session_log "Xvfb läuft auf $DISPLAY"
    fi

    if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
        wine_session_log "Lege das Wine-Präfix an: $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        setsid wineserver -f -p </dev/null >/dev/null 2>&1 &
        local boot_server=$!
        wineboot -i </dev/null >"$dir/wineboot.log" 2>&1
        # A crash ends the process with a backtrace instead of a dialog.
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        # A virtual desktop with a taskbar and notification area: Wine's
        # explorer shows its shell (start button, taskbar, tray) on the
        # desktop named "shell".
        wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768 /f >/dev/null 2>&1
        # Wine's own fonts, so "MS Sans Serif" and the caption buttons render.
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        if ((WINE_SESSION_THROWAWAY)); then
            # Tests must never start Wine's browser: without it the guard's
            # fallback command finds nothing to run.
            wine_session_hide_browser
        fi
        wineserver -k >/dev/null 2>&1 || true
        wait "$boot_server" 2>/dev/null || true
    fi

    setsid wineserver -f -p </dev/null >/dev/null 2>&1 &
    WINE_SESSION_SERVER=$!
    # The keeper starts first, so Wine's background processes inherit its
    # quiet output and not the pipes of a test.
    setsid wine "$keeper" </dev/null >"$dir/keeper.log" 2>&1 &
    WINE_SESSION_KEEPER=$!
    local i
    for ((i = 0; i < 600; i++)); do
        grep -q 'keeper ready' "$dir/keeper.log" 2>/dev/null && break
        sleep 0.1
    done
    wine_session_log "Wine-Sitzung bereit ($(head -n1 "$dir/keeper.log" 2>/dev/null))"
}

# Removes Wine's Internet Explorer from the prefix, as on a Windows machine
# without it: a command "IEXPLORE ..." then finds no program to start. Wine
# puts it back when it renews the prefix after an update, so a kept session
# calls this after every start.
wine_session_hide_browser() {
    find "$WINEPREFIX/drive_c" -iname 'iexplore.exe' -delete 2>/dev/null || true
}

wine_session_stop() {
    [[ -n "${WINE_SESSION_DIR:-}" ]] || return 0
    if [[ -n "${WINE_SESSION_KEEPER:-}" ]]; then
        kill "$WINE_SESSION_KEEPER" 2>/dev/null || true
        wait "$WINE_SESSION_KEEPER" 2>/dev/null || true
    fi
    # Ends every process of our own prefix, then the server itself.
    wineserver -k >/dev/null 2>&1 || true
    if [[ -n "${WINE_SESSION_SERVER:-}" ]]; then
        wait "$WINE_SESSION_SERVER" 2>/dev/null || true
    fi
    # Now and then a service process of the prefix outlives its server; end
    # whatever still runs with our prefix in its environment, by PID.
    local pid
    for pid in $(grep -lsxF "WINEPREFIX=$WINEPREFIX" --null-data /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3); do
        [[ $pid != $$ ]] && kill -9 "$pid" 2>/dev/null || true
    done
    if [[ -n "${WINE_SESSION_XVFB:-}" ]]; then
        kill "$WINE_SESSION_XVFB" 2>/dev/null || true
        wait "$WINE_SESSION_XVFB" 2>/dev/null || true
    fi
    if ((WINE_SESSION_THROWAWAY)); then
        rm -rf "$WINE_SESSION_DIR"
    fi
    WINE_SESSION_DIR=
}
