#!/usr/bin/env bash
# bench/convert_bench.sh [BUILD_DIR]: run by hand, not by the tests.
# Generates ~200 MB of source-like CRLF text, ~200 MB without tabs and ~50 MB
# of tab-dense text under $BENCH_DIR (default /tmp/velmora-bench), converts
# each with GNU `expand -t 8`, with the conversion core in memory (host build)
# and with ConvertFile under Wine (whole process), copies it with CopyFileA
# under Wine, checks that all outputs are byte-identical and prints MB/s and
# the ratios; then expands the source-like text in memory as ASCII through the
# byte path and as UTF-8 with a few non-ASCII characters a line through the
# UTF-8 path, side by side, and every path with leading tabs only and with
# lists of stops beside every tab at width 8. Builds what it needs in BUILD_DIR/host and
# BUILD_DIR/win64.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench_common.sh
source bench/bench_common.sh "${1:-build}" convert_bench

# One Wine process start first, so that the prefix and wineserver exist.
scripts/wine-run "$prefix" "$win_bench" >/dev/null 2>&1 || true

mbps() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.1f", n / s / 1e6 }'; }

for job in source:200 notabs:200 dense:50; do
  kind=${job%%:*} size=${job##*:}
  [ -f "$data/$kind.txt" ] || "$host_bench" generate "$kind" "$size" "$data/$kind.txt"
done

status=0
printf '%-7s %6s | %-20s | %-20s | %-32s | %-32s | %s\n' input MB "expand -t 8" "core in memory" \
  "ConvertFile (Wine) [in-process]" "CopyFileA (Wine) [in-process]" "expand/ConvertFile, ConvertFile/copy"
for job in source:200 notabs:200 dense:50; do
  kind=${job%%:*}
  in=$data/$kind.txt
  bytes=$(stat -c %s "$in")
  # Each timed step starts with no dirty pages of an earlier one still being
  # written back to the disk.
  sync

  t0=$(now); expand -t 8 "$in" >"$data/$kind.expand"; t1=$(now)
  t_expand=$(seconds "$t0" "$t1")

  sync
  core=$("$host_bench" expand "$in" "$data/$kind.core")
  core_mbps=$(echo "$core" | awk '{ print $1 }')

  rm -f "$data/$kind.wine" "$data/$kind.copy"
  sync
  t0=$(now)
  VELMORA_BENCH_TIME=1 scripts/wine-run "$prefix" "$win_bench" convert "$(winpath "$in")" \
    "$(winpath "$data/$kind.wine")" >/dev/null 2>"$data/time"
  t1=$(now)
  t_convert=$(seconds "$t0" "$t1")
  in_convert=$(awk '/^in-process/ { print $2 }' "$data/time")

  sync
  t0=$(now)
  VELMORA_BENCH_TIME=1 scripts/wine-run "$prefix" "$win_bench" copy "$(winpath "$in")" \
    "$(winpath "$data/$kind.copy")" >/dev/null 2>"$data/time"
  t1=$(now)
  t_copy=$(seconds "$t0" "$t1")
  in_copy=$(awk '/^in-process/ { print $2 }' "$data/time")

  same=ok
  cmp -s "$data/$kind.expand" "$data/$kind.core" || { same="CORE DIFFERS"; status=1; }
  cmp -s "$data/$kind.expand" "$data/$kind.wine" || { same="CONVERTFILE DIFFERS"; status=1; }
  cmp -s "$in" "$data/$kind.copy" || { same="COPY DIFFERS"; status=1; }

  printf '%-7s %6.1f | %6s MB/s %6ss | %6s MB/s %6ss | %6s MB/s %6ss [%6ss] | %6s MB/s %6ss [%6ss] | %5sx, %5sx  outputs %s\n' \
    "$kind" "$(awk -v n="$bytes" 'BEGIN { print n / 1e6 }')" \
    "$(mbps "$bytes" "$t_expand")" "$t_expand" \
    "$core_mbps" "$(echo "$core" | sed 's/.*(\([0-9.]*\) s.*/\1/')" \
    "$(mbps "$bytes" "$t_convert")" "$t_convert" "$in_convert" \
    "$(mbps "$bytes" "$t_copy")" "$t_copy" "$in_copy" \
    "$(ratio "$t_expand" "$t_convert")" "$(ratio "$t_convert" "$t_copy")" "$same"
  rm -f "$data/$kind.expand" "$data/$kind.core" "$data/$kind.wine" "$data/$kind.copy" "$data/time"
done
echo
# The same source-like text in UTF-8, beside the ASCII through the byte path.
"$host_bench" unicode "$data/source.txt" || status=1
echo
# Leading tabs only and lists of stops beside every tab at width 8, on each path.
"$host_bench" modes "$data/source.txt" || status=1
# And through ConvertFile as a whole process, side by side, best of three
# each: the UTF-8 file's MB/s against the ASCII file's.
"$host_bench" utf8 "$data/source.txt" "$data/source-utf8.txt"
best_convert() {  # input -> seconds in process, best of three
  local best=999 t i
  for i in 1 2 3; do
    rm -f "$data/out.txt"; sync
    VELMORA_BENCH_TIME=1 scripts/wine-run "$prefix" "$win_bench" convert "$(winpath "$1")" \
      "$(winpath "$data/out.txt")" >/dev/null 2>"$data/time"
    t=$(awk '/^in-process/ { print $2 }' "$data/time")
    best=$(awk -v a="$best" -v b="$t" 'BEGIN { print (b < a) ? b : a }')
  done
  rm -f "$data/out.txt" "$data/time"
  echo "$best"
}
t_ascii=$(best_convert "$data/source.txt")
t_utf8=$(best_convert "$data/source-utf8.txt")
b_ascii=$(stat -c %s "$data/source.txt")
b_utf8=$(stat -c %s "$data/source-utf8.txt")
printf 'ConvertFile (Wine, in process): ASCII %s MB/s, UTF-8 %s MB/s: %s of the byte path (target >= 0.80)\n' \
  "$(mbps "$b_ascii" "$t_ascii")" "$(mbps "$b_utf8" "$t_utf8")" \
  "$(awk -v a="$b_ascii" -v ta="$t_ascii" -v u="$b_utf8" -v tu="$t_utf8" 'BEGIN { printf "%.2f", (u / tu) / (a / ta) }')"
rm -f "$data/source-utf8.txt"
echo
echo "Targets on source: core in memory >= 1500 MB/s; expand/ConvertFile >= 2; ConvertFile/copy <= 2.5;"
echo "UTF-8 path on the UTF-8 text >= 0.80 of the byte path on the ASCII text."
echo "(MB = 10^6 bytes of input. Wine times are whole processes; in brackets the call alone. The"
echo " ConvertFile process also starts Wine's GUI side for the wait cursor, outside the brackets."
echo " Inputs stay in $data.)"
exit $status
