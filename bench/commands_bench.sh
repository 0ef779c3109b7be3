#!/usr/bin/env bash
# bench/commands_bench.sh [BUILD_DIR]: run by hand, not by the tests.
# Times the program's own commands under Wine, driven from outside the way a
# user runs them (bench/commands_bench.cpp), against GNU `expand -t 8` on the
# same inputs:
#   1000 files   Convert Multiple Files over 1,000 small source files (~4 KB
#                each, pattern *.txt); the peer runs `expand -t 8 f > f.x &&
#                mv f.x f` per file (in place, as the command works).
#   one 200 MB   Convert Multiple Files with a pattern naming one ~200 MB
#                source file; the peer is the same expand-and-mv on that file.
#   clipboard    Convert Clipboard on ~50 MB of tab-dense text put on the
#                clipboard as 8-bit text (the program reads and writes the
#                Unicode text the system offers for it; the 8-bit result is
#                read back); the peer is `expand -t 8 in > out`. Also shown:
#                the command's in-memory conversion alone (no clipboard), of
#                bytes and of UTF-16 units.
# Velmora's time runs from the button press to the window that reports the
# result (results dialog or question box); the program's start and the
# set-up (copying inputs, filling the clipboard) are not counted. All outputs
# are compared byte for byte with expand's. Inputs stay in $BENCH_DIR
# (default /tmp/velmora-bench).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench_common.sh
source bench/bench_common.sh "${1:-build}" commands_bench
run_win() { scripts/wine-run "$prefix" "$win_bench" "$@" 2>/dev/null | tr -d '\r'; }

megabytes() { du -cb "$@" | tail -1 | awk '{ printf "%.1f", $1 / 1e6 }'; }

# Inputs, made once.
[ -f "$data/source.txt" ] || "$host_bench" generate source 200 "$data/source.txt"
[ -f "$data/dense.txt" ] || "$host_bench" generate dense 50 "$data/dense.txt"
if [ ! -d "$data/many.orig" ]; then
  mkdir -p "$data/many.orig"
  "$host_bench" generate source 4 "$data/many.all"
  (cd "$data/many.orig" && split -n l/1000 -d -a 4 --additional-suffix=.txt "$data/many.all" f)
  rm -f "$data/many.all"
fi

expand_in_place() {
  local f
  for f in "$@"; do expand -t 8 "$f" >"$f.x" && mv -f "$f.x" "$f"; done
}

status=0
results=()
record() {  # job MB expand-seconds velmora-seconds same
  results+=("$(printf '%-10s %7s | %8ss | %8ss | %6sx | %s' "$1" "$2" "$3" "$4" "$(ratio "$4" "$3")" "$5")")
}

# One Wine process first, so that the prefix, its wineserver and display exist.
scripts/wine-run "$prefix" "$win_bench" >/dev/null 2>&1 || true
# The program opens its main window only where it finds itself installed:
# record the distribution folder as the installed copy for the run (as
# scripts/run does), and take the record away again at the end, since the
# prefix is the tests' too.
install_key='HKLM\Software\Orvane\Zenvero\SelfInstall'
version=$(sed -n 's/^project(Velmora VERSION \([0-9]*\)\.\([0-9]*\).*/\1 \2/p' CMakeLists.txt)
# shellcheck disable=SC2086
version=$(printf '%d.%02d' $version)
scripts/wine-run "$prefix" reg add "$install_key" /v Directory /d "$(winpath "$build/win64/dist")\\" /f >/dev/null 2>&1
scripts/wine-run "$prefix" reg add "$install_key" /v Version /d "$version" /f >/dev/null 2>&1
trap 'scripts/wine-run "$prefix" reg delete "HKLM\\Software\\Orvane" /f >/dev/null 2>&1 || true' EXIT

# 1000 small files.
rm -rf "$data/gnu" "$data/vel"
cp -r "$data/many.orig" "$data/gnu"
cp -r "$data/many.orig" "$data/vel"
sync
t0=$(now); expand_in_place "$data"/gnu/*.txt; t1=$(now)
t_expand=$(seconds "$t0" "$t1")
sync
out=$(run_win multiple "$(winpath "$data")" "$(winpath "$data/vel")\\*.txt") || status=1
t_vel=$(echo "$out" | awk '/^timed/ { print $2 }')
echo "1000 files: $(echo "$out" | grep report || echo "$out")"
same=ok; diff -rq "$data/gnu" "$data/vel" >/dev/null || { same=DIFFERS; status=1; }
record "1000 files" "$(megabytes "$data"/many.orig/*.txt)" "$t_expand" "${t_vel:-0}" "$same"
rm -rf "$data/gnu" "$data/vel"

# One 200 MB file.
rm -rf "$data/big" && mkdir -p "$data/big"
cp "$data/source.txt" "$data/big/gnu.txt"
cp "$data/source.txt" "$data/big/vel.txt"
sync
t0=$(now); expand_in_place "$data/big/gnu.txt"; t1=$(now)
t_expand=$(seconds "$t0" "$t1")
sync
out=$(run_win multiple "$(winpath "$data")" "$(winpath "$data/big/vel.txt")") || status=1
t_vel=$(echo "$out" | awk '/^timed/ { print $2 }')
echo "one 200 MB: $(echo "$out" | grep report || echo "$out")"
same=ok; cmp -s "$data/big/gnu.txt" "$data/big/vel.txt" || { same=DIFFERS; status=1; }
record "one file" "$(megabytes "$data/source.txt")" "$t_expand" "${t_vel:-0}" "$same"
# The same file copied whole by the system, for scale.
sync
out=$(run_win copy "$(winpath "$data/source.txt")" "$(winpath "$data/big/copy.txt")") || status=1
t_copy=$(echo "$out" | awk '/^timed/ { print $2 }')
copy_line=$(printf 'one file: CopyFileA %ss; Velmora / CopyFileA %sx' "${t_copy:-0}" "$(ratio "${t_vel:-0}" "${t_copy:-1}")")
rm -rf "$data/big"

# 50 MB of tab-dense text through the clipboard.
sync
t0=$(now); expand -t 8 "$data/dense.txt" >"$data/dense.expand"; t1=$(now)
t_expand=$(seconds "$t0" "$t1")
out=$(run_win clipboard "$(winpath "$data/dense.txt")" "$(winpath "$data/dense.clip")") || status=1
t_vel=$(echo "$out" | awk '/^timed/ { print $2 }')
echo "clipboard: $(echo "$out" | grep box || echo "$out")"
same=ok; cmp -s "$data/dense.expand" "$data/dense.clip" || { same=DIFFERS; status=1; }
record "clipboard" "$(megabytes "$data/dense.txt")" "$t_expand" "${t_vel:-0}" "$same"
out=$(run_win expand-text "$(winpath "$data/dense.txt")" "$(winpath "$data/dense.clip")") || status=1
t_mem=$(echo "$out" | awk '/^timed/ { print $2 }')
same=ok; cmp -s "$data/dense.expand" "$data/dense.clip" || { same=DIFFERS; status=1; }
record "in memory" "$(megabytes "$data/dense.txt")" "$t_expand" "${t_mem:-0}" "$same"
out=$(run_win expand-utf16 "$(winpath "$data/dense.txt")" "$(winpath "$data/dense.clip")") || status=1
t_mem=$(echo "$out" | awk '/^timed/ { print $2 }')
same=ok; cmp -s "$data/dense.expand" "$data/dense.clip" || { same=DIFFERS; status=1; }
record "mem UTF-16" "$(megabytes "$data/dense.txt")" "$t_expand" "${t_mem:-0}" "$same"
rm -f "$data/dense.expand" "$data/dense.clip"

echo
printf '%-10s %7s | %9s | %9s | %7s | %s\n' job "MB in" "expand" "Velmora" "V/exp" "outputs"
printf '%s\n' "${results[@]}"
echo "$copy_line"
echo "(MB = 10^6 bytes of input. Velmora: from the button press to the results dialog or question"
echo " box, under Wine; 'in memory' is the clipboard command's conversion alone (measure and"
echo " expand, no clipboard), 'mem UTF-16' the same over UTF-16 units. expand: GNU expand -t 8, per file with mv back for the in-place jobs.)"
exit $status
