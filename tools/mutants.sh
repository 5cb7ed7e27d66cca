#!/bin/bash
# Mutation check for developers (not part of the test run): applies each
# change listed in tools/mutants/*.txt alone to a copy of the tree, builds the
# 32-bit target (the 64-bit one on a machine that runs no 32-bit Linux
# programs: the entries' "i686." test names then stand for "x86_64."), runs
# the tests named with the change and reports whether a test failed
# ("caught") or all stayed green ("SURVIVED").
#   tools/mutants.sh [pattern]    only entries whose list name or file matches
#
# An entry in tools/mutants/<area>.txt (entries separated by a blank line,
# "#" lines are comments and the first one names the entry):
#   # what breaks
#   file: app/Guard.cpp
#   from: text that occurs exactly once in that file
#   to: its replacement (empty removes it)
#   tests: i686\.GuardTick
#   build: i686     (optional) checked in a 32-bit build of the program
#                   alone, on any machine; only tests that run no Windows
#                   program (the import check) can be named then
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pattern=${1:-}
work="$root/build/mutants"
src="$work/src"
"$root/tools/setup-debian.sh"
source "$root/tools/wine-session.sh"
arch=$(wine_arch)
[[ $arch == i686 ]] || wine_no_32bit_note "die Änderungen werden an der 64-Bit-Fassung geprüft"

# A copy of the tracked files as they are now, committed or not. Only files
# whose content changed are replaced, and they get the time of the copy, so
# that the build of the copy takes in exactly what changed since its last run.
incoming="$work/incoming"
rm -rf "$incoming"
mkdir -p "$incoming" "$src"
(cd "$root" && git ls-files -z | tar --null -T - -cf -) | tar -xf - -C "$incoming"
(cd "$incoming" && find . -type f -print0) | while IFS= read -r -d '' file; do
    if ! cmp -s "$incoming/$file" "$src/$file"; then
        mkdir -p "$(dirname "$src/$file")"
        cp "$incoming/$file" "$src/$file"
    fi
done
(cd "$src" && find . -type f -print0) | while IFS= read -r -d '' file; do
    [[ -e "$incoming/$file" ]] || rm -f "$src/$file"
done
rm -rf "$incoming"

build="$work/$arch"
if [[ ! -f "$build/build.ninja" ]]; then
    cmake -G Ninja -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/$arch-w64-mingw32.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
echo "Building the unchanged tree..."
cmake --build "$build" >"$work/build.log" 2>&1 || { echo "the unchanged tree does not build: $work/build.log"; exit 1; }

# Entries as records of fields split by the unit separator (a tab would not
# keep an empty field): list, name, file, from, to, tests.
entries="$work/entries"
python3 - "$root/tools/mutants" "$pattern" >"$entries" <<'PY'
import glob, os, re, sys
folder, pattern = sys.argv[1], sys.argv[2]
for path in sorted(glob.glob(os.path.join(folder, "*.txt"))):
    area = os.path.splitext(os.path.basename(path))[0]
    for block in re.split(r"\n\s*\n", open(path, encoding="utf-8").read()):
        entry, name = {}, ""
        for line in block.splitlines():
            if line.startswith("#"):
                name = name or line.lstrip("# ").strip()
            elif ":" in line:
                key, _, value = line.partition(":")
                entry[key.strip()] = value[1:] if value.startswith(" ") else value
        if not entry:
            continue
        if pattern and not re.search(pattern, area + " " + entry.get("file", "")):
            continue
        fields = [area, name, entry.get("file", ""), entry.get("from", ""), entry.get("to", ""), entry.get("tests", ""),
                  entry.get("build", "")]
        print("\x1f".join(fields))
PY

unset DISPLAY
trap 'wine_session_stop' EXIT
trap 'exit 130' INT TERM
wine_session_start "$work/session" "$build/tools/WineKeeper.exe" --throwaway >/dev/null

results=()
survivors=0
# The build of an entry: the machine's, or the 32-bit program alone.
entry_build() {  # entry_build <arch or empty>
    if [[ -z $1 ]]; then
        build_dir=$build
        build_args=()
        return
    fi
    build_dir="$work/$1-program"
    build_args=(--target Startwacht)
    if [[ ! -f "$build_dir/build.ninja" ]]; then
        cmake -G Ninja -S "$src" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/$1-w64-mingw32.cmake" \
            -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
}

while IFS=$'\x1f' read -r -u 3 area name file from to tests only; do
    target="$src/$file"
    entry_build "$only"
    [[ -n $only ]] || tests=${tests//i686\\./$arch\\.}
    cp "$target" "$work/original"
    if ! python3 - "$target" "$from" "$to" <<'PY'
import sys
path, old, new = sys.argv[1], sys.argv[2], sys.argv[3]
text = open(path, encoding="utf-8").read()
if text.count(old) != 1:
    sys.exit(f"{path}: the text occurs {text.count(old)} times: {old}")
open(path, "w", encoding="utf-8").write(text.replace(old, new))
PY
    then
        verdict="NOT APPLIED"
        survivors=$((survivors + 1))
    elif ! cmake --build "$build_dir" "${build_args[@]}" </dev/null >"$work/mutant-build.log" 2>&1; then
        verdict="no build"
        cp "$work/mutant-build.log" "$work/no-build-$((${#results[@]} + 1)).log"
    elif (cd "$build_dir" && ctest --timeout 180 -R "$tests" </dev/null >"$work/mutant-test.log" 2>&1); then
        if grep -q "No tests were found" "$work/mutant-test.log"; then verdict="NO TESTS"; else verdict="SURVIVED"; fi
        survivors=$((survivors + 1))
    else
        verdict="caught"
    fi
    cp "$work/original" "$target"
    printf '%-12s %-10s %s (%s)\n' "$verdict" "$area" "$name" "$file"
    results+=("$verdict")
done 3<"$entries"
cmake --build "$build" >/dev/null 2>&1 || true
[[ ! -d "$work/i686-program" ]] || cmake --build "$work/i686-program" --target Startwacht >/dev/null 2>&1 || true
echo "${#results[@]} changes, $survivors not caught"
((survivors == 0))
