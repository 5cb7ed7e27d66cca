#!/bin/bash
# Builds both targets and runs every benchmark under bench/ in a throwaway
# Wine session, headless under Xvfb when there is no display. Benchmarks print
# figures; they pass or fail nothing. The raw output of each goes to
# build/bench-results/, and the main figures of both builds are printed side
# by side at the end.
#   tools/bench.sh            full run (about twenty minutes)
#   tools/bench.sh --quick    shorter phases
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup-debian.sh"
"$root/tools/build.sh" i686 x86_64

quick=0
[[ "${1:-}" == "--quick" ]] && quick=1
declare -A args=(
    [GuardTimerBench]=""
    [log_trim_bench]=""
    [StartwachtBench]=""
    [ProgramBench]=""
)
if ((quick)); then
    args[GuardTimerBench]="40"
    args[StartwachtBench]="10"
    args[ProgramBench]="--changes 30 --idle 10 --hostile 10"
fi

source "$root/tools/wine-session.sh"
trap 'wine_session_stop' EXIT
trap 'exit 130' INT TERM
wine_session_start "$root/build/bench-session" "$root/build/i686/tools/WineKeeper.exe" --throwaway

results="$root/build/bench-results"
rm -rf "$results"
mkdir -p "$results"
# The programs print code page 1252; the terminal is UTF-8.
for arch in i686 x86_64; do
    for name in GuardTimerBench log_trim_bench StartwachtBench ProgramBench; do
        exe="$root/build/$arch/bench/$name.exe"
        [[ -e "$exe" ]] || continue
        echo "== $arch: $name"
        # shellcheck disable=SC2086
        wine "$exe" ${args[$name]} </dev/null 2>/dev/null | tr -d '\r' | iconv -f CP1252 -t UTF-8 |
            tee "$results/$arch-$name.txt"
    done
done

pick() {  # pick <file> <grep pattern> <sed expression>
    grep -m1 -E "$2" "$results/$1" 2>/dev/null | sed -E "$3" || true
}
row() {  # row <label> <file suffix> <pattern> <sed>
    printf '%-44s %-26s %-26s\n' "$1" "$(pick "i686-$2" "$3" "$4")" "$(pick "x86_64-$2" "$3" "$4")"
}
echo
echo "== Side by side"
printf '%-44s %-26s %-26s\n' "figure" "i686" "x86_64"
row "restoration delay, mean (periods of 500 ms)" ProgramBench.txt '^restoration delay' 's/.*mean ([0-9.]+ ms) \(([0-9.]+) periods\).*/\1 (\2)/'
row "restoration delay, 99th percentile" ProgramBench.txt '^restoration delay' 's/.*p99 ([0-9.]+ ms) \(([0-9.]+)\).*/\1 (\2)/'
row "restoration delay, worst" ProgramBench.txt '^restoration delay' 's/.*worst ([0-9.]+ ms) \(([0-9.]+)\).*/\1 (\2)/'
row "CPU time per idle tick (whole process)" ProgramBench.txt '^idle:' 's/^idle: ([0-9.]+ ms) CPU per tick.*/\1/'
row "CPU time per tick called in a loop" StartwachtBench.txt 'CPU time' 's/.*CPU time +//'
row "registry calls per idle tick" StartwachtBench.txt 'registry calls' 's/.*registry calls +//'
row "file operations per idle tick" StartwachtBench.txt 'file operations' 's/.*file operations +([0-9.]+) opened.*/\1 opened/'
row "start-up to the first tick" StartwachtBench.txt 'process creation to first tick' 's/.*first tick +//'
row "Startwacht.exe size" ProgramBench.txt '^Startwacht.exe' 's/.*, ([0-9]+) bytes/\1 bytes/'
row "hostile writer: log file equals list" StartwachtBench.txt 'log file equals' 's/.*equals the list: //'
row "hostile writer: handles before -> after" StartwachtBench.txt '^  handles' 's/^  handles ([0-9]+ -> [0-9]+).*/\1/'
row "hostile writer: threads before -> after" StartwachtBench.txt '^  handles' 's/.*threads ([0-9]+ -> [0-9]+).*/\1/'
