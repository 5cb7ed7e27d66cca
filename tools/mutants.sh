#!/bin/bash
# Mutation check for developers (not part of the test run): applies each
# change listed in tools/mutants/*.txt alone to a copy of the tree, builds the
# 32-bit target, the one that ships (where Linux runs no 32-bit programs its
# tests run under qemu's emulation), runs the tests named with the change
# and reports whether a test failed ("caught") or all stayed green
# ("SURVIVED").
#   tools/mutants.sh [--arch x86_64] [pattern]
#       pattern: only entries whose list name or file matches;
#       --arch x86_64: the 64-bit build instead (the entries' "i686." test
#       names then stand for "x86_64.")
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
# Entries whose tests are "native." ones are checked in a native build, and
# those whose tests are "x86_64." ones (a path only the 64-bit build takes)
# in the whole x86_64 build, whatever --arch says.
# A change that needs more than one edit to build (a callback's declaration,
# its definition and the place that names its type) gives further
# "from:"/"to:" pairs, applied in order, each to text that occurs exactly
# once at that point; a further "file:" line before a pair names the file of
# the pairs after it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=i686
if [[ "${1:-}" == --arch ]]; then
    arch=${2:-}
    shift 2
fi
[[ $arch == i686 || $arch == x86_64 ]] || { echo "--arch: i686 oder x86_64" >&2; exit 2; }
pattern=${1:-}
work="$root/build/mutants"
src="$work/src"
"$root/tools/setup-debian.sh"
source "$root/tools/wine-session.sh"
if [[ $arch == i686 ]]; then
    case $(wine_32bit_mode) in
        emulated) wine_emulation_note ;;
        none) wine_no_32bit_note "mit --arch x86_64 wird die 64-Bit-Fassung geprüft" >&2; exit 1 ;;
    esac
fi

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

# Configures a Windows build of the copy once: configure <folder> <arch>.
configure() {
    [[ -f "$1/build.ninja" ]] ||
        cmake -G Ninja -S "$src" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/$2-w64-mingw32.cmake" \
            -DCMAKE_BUILD_TYPE=Release >/dev/null
}
build="$work/$arch"
configure "$build" "$arch"
echo "Building the unchanged tree..."
cmake --build "$build" >"$work/build.log" 2>&1 || { echo "the unchanged tree does not build: $work/build.log"; exit 1; }

# Entries as records of fields split by the unit separator (a tab would not
# keep an empty field): list, name, file, tests, build, and the entry's
# number in $entries.json, which holds its edits.
entries="$work/entries"
python3 - "$root/tools/mutants" "$pattern" "$entries" <<'PY'
import glob, json, os, re, sys
folder, pattern, out = sys.argv[1], sys.argv[2], sys.argv[3]
records, edits = [], []
for path in sorted(glob.glob(os.path.join(folder, "*.txt"))):
    area = os.path.splitext(os.path.basename(path))[0]
    for block in re.split(r"\n\s*\n", open(path, encoding="utf-8").read()):
        entry, name, pairs, current = {}, "", [], ""
        for line in block.splitlines():
            if line.startswith("#"):
                name = name or line.lstrip("# ").strip()
            elif ":" in line:
                key, _, value = line.partition(":")
                key = key.strip()
                value = value[1:] if value.startswith(" ") else value
                if key == "from":
                    pairs.append([current, value, ""])
                elif key == "to" and pairs:
                    pairs[-1][2] = value
                elif key == "file":
                    current = value
                    entry.setdefault("file", value)
                else:
                    entry[key] = value
        if not entry and not pairs:
            continue
        if pattern and not re.search(pattern, area + " " + entry.get("file", "")):
            continue
        records.append("\x1f".join([area, name, entry.get("file", ""), entry.get("tests", ""),
                                      entry.get("build", ""), str(len(edits))]))
        edits.append(pairs)
open(out, "w", encoding="utf-8").write("".join(r + "\n" for r in records))
json.dump(edits, open(out + ".json", "w", encoding="utf-8"))
PY

unset DISPLAY
trap 'wine_session_stop' EXIT
trap 'exit 130' INT TERM
wine_session_start "$work/session" "$build/tools/WineKeeper.exe" --throwaway >/dev/null

results=()
survivors=0
# The build of an entry: the machine's, another architecture's suites, the
# 32-bit program alone, or the native build for the tests that run no
# Windows program at all.
entry_build() {  # entry_build <empty, <arch>-suites, <arch> or native>
    if [[ $1 == native ]]; then
        build_dir="$work/native"
        build_args=()
        if [[ ! -f "$build_dir/build.ninja" ]]; then
            cmake -G Ninja -S "$src" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
        fi
        return
    fi
    if [[ -z $1 || $1 == "$arch-suites" ]]; then
        build_dir=$build
        build_args=()
        return
    fi
    if [[ $1 == *-suites ]]; then
        build_dir="$work/${1%-suites}"
        build_args=()
        configure "$build_dir" "${1%-suites}"
        return
    fi
    build_dir="$work/$1-program"
    build_args=(--target Startwacht)
    configure "$build_dir" "$1"
}

while IFS=$'\x1f' read -r -u 3 area name file tests only number; do
    [[ $tests != native* ]] || only=native
    [[ $tests != x86_64* ]] || only=x86_64-suites
    entry_build "$only"
    [[ -n $only ]] || tests=${tests//i686\\./$arch\\.}
    # The files the entry changes are kept in $work/original and put back.
    rm -rf "$work/original"
    if ! python3 - "$src" "$work/original" "$entries.json" "$number" <<'PY'
import json, os, shutil, sys
src, keep, edits, number = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
texts = {}
for name, old, new in json.load(open(edits, encoding="utf-8"))[number]:
    path = os.path.join(src, name)
    if name not in texts:
        os.makedirs(os.path.dirname(os.path.join(keep, name)), exist_ok=True)
        shutil.copy2(path, os.path.join(keep, name))
        texts[name] = open(path, encoding="utf-8").read()
    if texts[name].count(old) != 1:
        sys.exit(f"{path}: the text occurs {texts[name].count(old)} times: {old}")
    texts[name] = texts[name].replace(old, new)
for name, text in texts.items():
    open(os.path.join(src, name), "w", encoding="utf-8").write(text)
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
    cp -r "$work/original/." "$src/"
    printf '%-12s %-10s %s (%s)\n' "$verdict" "$area" "$name" "$file"
    results+=("$verdict")
done 3<"$entries"
cmake --build "$build" >/dev/null 2>&1 || true
[[ ! -d "$work/i686-program" ]] || cmake --build "$work/i686-program" --target Startwacht >/dev/null 2>&1 || true
echo "${#results[@]} changes, $survivors not caught"
((survivors == 0))
