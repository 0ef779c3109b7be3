#!/usr/bin/env bash
# bench/floor_bench.sh [BUILD_DIR]: run by hand, not by the tests.
# The in-place conversion of Convert Multiple Files (ConvertFileInPlace per
# match, in process under Wine) beside its floor, the same file work without
# converting (convert_bench floor: read, a new file beside, the same bytes
# written, flushed, ReplaceFileA), in one run:
#   1000 files   1,000 small source files (~4 KB each)
#   one 200 MB   one ~200 MB source file
#   no tabs      1,000 small files without a tab, against reading them whole
#   no flush     the first two again without the flush of each copy (its cost)
# Inputs stay in $BENCH_DIR (default /tmp/velmora-bench); the outputs are
# compared with GNU expand -t 8.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench_common.sh
source bench/bench_common.sh "${1:-build}" convert_bench
run_win() { scripts/wine-run "$prefix" "$win_bench" "$@" 2>/dev/null | tr -d '\r'; }
timed() { awk '/^timed/ { print $2 }'; }

[ -f "$data/source.txt" ] || "$host_bench" generate source 200 "$data/source.txt"
if [ ! -d "$data/many.orig" ]; then
  mkdir -p "$data/many.orig"
  "$host_bench" generate source 4 "$data/many.all"
  (cd "$data/many.orig" && split -n l/1000 -d -a 4 --additional-suffix=.txt "$data/many.all" f)
  rm -f "$data/many.all"
fi
work=$data/floor
status=0
results=()
record() {  # job floor-seconds velmora-seconds
  results+=("$(printf '%-22s | %8ss | %8ss | %6sx' "$1" "$2" "$3" "$(ratio "$3" "$2")")")
}
fresh_many() { rm -rf "$work" && cp -r "$data/many.orig" "$work" && sync; }
fresh_big() { rm -rf "$work" && mkdir -p "$work" && cp "$data/source.txt" "$work/big.txt" && sync; }
check_many() {
  local f
  for f in "$data"/many.orig/*.txt; do
    expand -t 8 "$f" | cmp -s - "$work/$(basename "$f")" || { echo "DIFFERS: $f"; status=1; return; }
  done
}

scripts/wine-run "$prefix" "$win_bench" >/dev/null 2>&1 || true

fresh_many; t_floor=$(run_win floor "$(winpath "$work")\\*.txt" | timed)
fresh_many; t_vel=$(run_win multiple "$(winpath "$work")\\*.txt" | timed); check_many
record "1000 files" "$t_floor" "$t_vel"
fresh_many; t_noflush=$(VELMORA_BENCH_NO_FLUSH=1 run_win multiple "$(winpath "$work")\\*.txt" | timed)
record "1000 files, no flush" "$t_noflush" "$t_vel"

fresh_big; t_floor=$(run_win floor "$(winpath "$work")\\big.txt" | timed)
fresh_big; t_vel=$(run_win multiple "$(winpath "$work")\\big.txt" | timed)
expand -t 8 "$data/source.txt" | cmp -s - "$work/big.txt" || { echo "DIFFERS: big"; status=1; }
record "one 200 MB file" "$t_floor" "$t_vel"
fresh_big; t_noflush=$(VELMORA_BENCH_NO_FLUSH=1 run_win multiple "$(winpath "$work")\\big.txt" | timed)
record "one 200 MB, no flush" "$t_noflush" "$t_vel"

rm -rf "$work" && mkdir -p "$work"
for f in "$data"/many.orig/*.txt; do expand -t 8 "$f" >"$work/$(basename "$f")"; done
sync
t_read=$(run_win read "$(winpath "$work")\\*.txt" | timed)
t_vel=$(run_win multiple "$(winpath "$work")\\*.txt" | timed)
record "1000 files, no tabs" "$t_read" "$t_vel"
rm -rf "$work"

echo
printf '%-22s | %9s | %9s | %7s\n' job "peer" "Velmora" "V/peer"
printf '%s\n' "${results[@]}"
echo "(peer: the floor (read, new file beside, write, flush, ReplaceFileA, no conversion); for"
echo " 'no flush' Velmora without its flush, against Velmora with it; for 'no tabs' reading the"
echo " files whole. All in process under Wine, one process per job.)"
exit $status
