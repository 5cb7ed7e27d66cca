#!/bin/bash
# The apt entry that the setup script adds for qemu-user on a machine that
# runs no 32-bit Linux programs: bookworm-backports from the mirror and with
# the key of bookworm's own entry, whatever else the sources file holds.
#   SetupScriptTest.sh <source dir> <work dir>
set -uo pipefail
src=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
failed=0

# check <name> <expected URIs> <expected Signed-By or "-"> (sources file on stdin)
check() {
    local file="$work/$1.sources" out expected
    cat >"$file"
    out=$("$src/tools/setup-debian.sh" --backports-source "$file")
    expected=$(printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main' "$2")
    [[ $3 == - ]] || expected+=$'\n'"Signed-By: $3"
    if [[ $out != "$expected" ]]; then
        echo "FEHLER ($1):"
        echo "$out"
        failed=1
    fi
}

# Debian 12's own file: bookworm's stanza with a comment, security's after it.
check debian12 http://deb.debian.org/debian /usr/share/keyrings/debian-archive-keyring.gpg <<'SOURCES'
Types: deb
# http://snapshot.debian.org/archive/debian/20250520T000000Z
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES

# A local mirror and key; the security stanza first, bookworm named last.
check mirror http://mirror.example/debian /etc/apt/keyrings/mirror.gpg <<'SOURCES'
Types: deb
URIs: http://mirror.example/debian-security
Suites: bookworm-security
Signed-By: /etc/apt/keyrings/security.gpg

Types: deb deb-src
URIs: http://mirror.example/debian http://other.example/debian
Suites: bookworm-updates bookworm
Components: main contrib
Signed-By: /etc/apt/keyrings/mirror.gpg
SOURCES

# An entry without a key of its own (apt's default keyring then).
check nokey http://mirror.example/debian - <<'SOURCES'
Types: deb
URIs: http://mirror.example/debian
Suites: bookworm
Components: main
SOURCES

# A file without bookworm's own suite: Debian's mirror and archive key.
check other http://deb.debian.org/debian /usr/share/keyrings/debian-archive-keyring.gpg <<'SOURCES'
Types: deb
URIs: http://mirror.example/debian-security
Suites: bookworm-security
Signed-By: /etc/apt/keyrings/security.gpg
SOURCES

# No such file: the same.
rm -f "$work/missing.sources"
out=$("$src/tools/setup-debian.sh" --backports-source "$work/missing.sources")
[[ $out == *"URIs: http://deb.debian.org/debian"* && $out == *"Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"* ]] ||
    { echo "FEHLER (ohne Datei): $out"; failed=1; }

rm -rf "$work"
exit $failed
