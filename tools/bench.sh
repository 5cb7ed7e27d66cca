#!/bin/bash
# Builds both targets and runs every benchmark under bench/ in a throwaway
# Wine session, headless under Xvfb when there is no display. Benchmarks print
# figures; they pass or fail nothing. The raw output of each goes to
# build/bench-results/, and the main figures of both builds are printed side
# by side at the end. Where Linux runs no 32-bit programs the i686 build runs
# under qemu's emulation: the script says so, and its column is marked as
# measured there (such figures are not compared with native ones). Only
# where not even the emulation can be had, the x86_64 build runs alone.
#   tools/bench.sh            full run (about twenty minutes)
#   tools/bench.sh --quick    shorter phases
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup-debian.sh"
"$root/tools/build.sh" i686 x86_64
source "$root/tools/wine-session.sh"
archs=(i686 x86_64)
note=""
i686_column=i686
case $(wine_32bit_mode) in
    emulated)
        note="$(wine_emulation_note): die Zahlen der i686-Spalte sind unter der Emulation gemessen und nicht mit Zahlen eines Rechners vergleichbar, der 32-Bit-Programme selbst ausführt."
        i686_column="i686 (qemu)"
        echo "$note"
        ;;
    none)
        archs=(x86_64)
        note=$(wine_no_32bit_note "es läuft nur die x86_64-Fassung")
        echo "$note"
        ;;
esac

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

trap 'wine_session_stop' EXIT
trap 'exit 130' INT TERM
wine_session_start "$root/build/bench-session" "$root/build/${archs[0]}/tools/WineKeeper.exe" --throwaway

results="$root/build/bench-results"
rm -rf "$results"
mkdir -p "$results"
column_name() { if [[ $1 == i686 ]]; then echo "$i686_column"; else echo "$1"; fi; }
# The programs print code page 1252; the terminal is UTF-8.
for arch in "${archs[@]}"; do
    for name in GuardTimerBench log_trim_bench StartwachtBench ProgramBench; do
        exe="$root/build/$arch/bench/$name.exe"
        [[ -e "$exe" ]] || continue
        echo "== $(column_name "$arch"): $name"
        # shellcheck disable=SC2086
        wine "$exe" ${args[$name]} </dev/null 2>/dev/null | tr -d '\r' | iconv -f CP1252 -t UTF-8 |
            tee "$results/$arch-$name.txt"
    done
    # The guard beside another program's window that answers no messages.
    exe="$root/build/$arch/bench/ProgramBench.exe"
    if [[ -e "$exe" ]]; then
        echo "== $(column_name "$arch"): ProgramBench --hung"
        wine "$exe" --hung </dev/null 2>/dev/null | tr -d '\r' | iconv -f CP1252 -t UTF-8 |
            tee "$results/$arch-ProgramBench-hung.txt"
    fi
done

pick() {  # pick <file> <grep pattern> <sed expression>
    grep -m1 -E "$2" "$results/$1" 2>/dev/null | sed -E "$3" || true
}
pick_after() {  # pick_after <file> <header pattern> <line pattern> <sed expression>
    awk -v h="$2" -v l="$3" 'found && $0 ~ l { print; exit } $0 ~ h { found = 1 }' "$results/$1" 2>/dev/null |
        sed -E "$4" || true
}
row_after() {  # row_after <label> <file suffix> <header pattern> <line pattern> <sed>
    printf '%-44s %-26s %-26s\n' "$1" "$(pick_after "i686-$2" "$3" "$4" "$5")" "$(pick_after "x86_64-$2" "$3" "$4" "$5")"
}
row() {  # row <label> <file suffix> <pattern> <sed>
    printf '%-44s %-26s %-26s\n' "$1" "$(pick "i686-$2" "$3" "$4")" "$(pick "x86_64-$2" "$3" "$4")"
}
echo
echo "== Side by side"
printf '%-44s %-26s %-26s\n' "figure" "$i686_column" "x86_64"
row "start to first guard tick, log of 0 lines" StartwachtBench.txt 'log of +0 lines: process creation' 's/.*first guard tick +([0-9.]+ ms).*/\1/'
row "start to first guard tick, log of 100 lines" StartwachtBench.txt 'log of +100 lines: process creation' 's/.*first guard tick +([0-9.]+ ms).*/\1/'
row "start to first guard tick, 10,000 lines" StartwachtBench.txt 'log of 10000 lines: process creation' 's/.*first guard tick +([0-9.]+ ms).*/\1/'
row "log of 10,000 lines into the hidden window" StartwachtBench.txt 'log of 10000 lines into the list' 's/.*window: ([0-9.]+ ms).*/\1/'
row "list fill, 10,000 lines, list on screen" log_trim_bench.txt '10000 lines into a list on screen' 's/.*fill ([0-9.]+ ms).*/\1/'
row "list fill, 10,000 lines, hidden window" log_trim_bench.txt '10000 lines into a list in a hidden' 's/.*fill ([0-9.]+ ms).*/\1/'
row_after "attempt's cycle, 100-line log" StartwachtBench.txt '100-line log, not reported, offline, window hidden' '^  time' 's/.*time +//'
row_after "attempt's cycle, 10,000-line log" StartwachtBench.txt '10000-line log, not reported, offline, window hidden' '^  time' 's/.*time +//'
row_after "  of which list insert+trim, file write" StartwachtBench.txt '10000-line log, not reported, offline, window hidden' 'of which' 's/.*trim ([0-9.]+ ms), log file write ([0-9.]+ ms).*/\1, \2/'
row "single writes in-process, online: median" StartwachtBench.txt '^Single writes, online, answered by the watch' 's/.*median ([0-9.]+ ms).*/\1/'
row "single writes in-process, online: p99" StartwachtBench.txt '^Single writes, online, answered by the watch' 's/.*p99 ([0-9.]+ ms).*/\1/'
row "single writes in-process, online: worst" StartwachtBench.txt '^Single writes, online, answered by the watch' 's/.*worst ([0-9.]+ ms).*/\1/'
row "single writes in-process, offline: worst" StartwachtBench.txt '^Single writes, offline, answered by the watch' 's/.*worst ([0-9.]+ ms).*/\1/'
row "offender query: online check, browser" StartwachtBench.txt '^Offender query' 's/.*online check ([0-9.]+ ms), browser query without a browser ([0-9.]+ ms).*/\1, \2/'
row "single writes from outside: median (watch)" ProgramBench.txt '^watch: restoration delay' 's/.*median ([0-9.]+ ms).*/\1/'
row "single writes from outside: p99 (watch)" ProgramBench.txt '^watch: restoration delay' 's/.*p99 ([0-9.]+ ms).*/\1/'
row "single writes from outside: worst (watch)" ProgramBench.txt '^watch: restoration delay' 's/.*worst ([0-9.]+ ms).*/\1/'
row "restoration delay, median (cycle only)" ProgramBench.txt '^periodic: restoration delay' 's/.*median ([0-9.]+ ms).*/\1/'
row "restoration delay, worst (cycle only)" ProgramBench.txt '^periodic: restoration delay' 's/.*worst ([0-9.]+ ms).*/\1/'
row "idle CPU and wake-ups per minute (watch)" ProgramBench.txt '^watch: idle:' 's/^watch: idle: ([0-9.]+ ms) CPU per idle minute.*, ([0-9]+) wake-ups.*/\1, \2/'
row "idle CPU and wake-ups per minute (cycle only)" ProgramBench.txt '^periodic: idle:' 's/^periodic: idle: ([0-9.]+ ms) CPU per idle minute.*, ([0-9]+) wake-ups.*/\1, \2/'
row "flood: longest stand (watch)" ProgramBench.txt '^watch: hostile writer: [0-9]+ writes' 's/.*stood ([0-9]+ ms).*/\1/'
row "flood: CPU, disk (watch)" ProgramBench.txt '^watch: hostile writer: CPU' 's/.*CPU ([0-9.]+ %) of one core, ([0-9]+ KB).*/\1, \2\/s/'
row "CPU time per tick called in a loop" StartwachtBench.txt 'CPU time' 's/.*CPU time +//'
row "registry calls per idle tick" StartwachtBench.txt 'registry calls' 's/.*registry calls +//'
row "file operations per idle tick" StartwachtBench.txt 'file operations' 's/.*file operations +([0-9.]+) opened.*/\1 opened/'
row "Startwacht.exe size" ProgramBench.txt '^Startwacht.exe' 's/.*, ([0-9]+) bytes/\1 bytes/'
row "hostile writer: log file equals list" StartwachtBench.txt 'log file equals' 's/.*equals the list: //'
row "hostile writer: handles before -> after" StartwachtBench.txt '^  handles' 's/^  handles ([0-9]+ -> [0-9]+).*/\1/'
row "hostile writer: threads before -> after" StartwachtBench.txt '^  handles' 's/.*threads ([0-9]+ -> [0-9]+).*/\1/'
for arch in "${archs[@]}"; do
    echo
    echo "== $(column_name "$arch"): ProgramBench, the watch beside the cycle alone"
    sed -n '/^side by side/,$p' "$results/$arch-ProgramBench.txt" 2>/dev/null || true
done
[[ -z $note ]] || { echo; echo "$note"; }
