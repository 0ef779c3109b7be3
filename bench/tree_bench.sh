#!/usr/bin/env bash
# bench/tree_bench.sh [BUILD_DIR]: run by hand, not by the tests.
# Convert Multiple Files with "Include subfolders" over a tree of 10,000
# small files in 500 folders (1,000 of them without a tab), beside the floor
# of bench/floor_bench.sh over the same files (convert_bench floor-tree: the
# same walk, then each file read, a new file beside it, the same bytes
# written, flushed, ReplaceFileA), in one run:
#   floor            convert_bench floor-tree, in process
#   in process       convert_bench inplace-tree: the walk and the in-place
#                    conversion of each file, without the window
#   window off       the real program, driven from outside (commands_bench),
#                    its progress window kept away ("ProgressDelay" = -1)
#   window on        the same with the window from the first file on
#                    ("ProgressDelay" = 0), for the window's cost
# The program's time runs from the button press to the results dialog. The
# outputs are compared with GNU expand -t 8. Inputs stay in $BENCH_DIR
# (default /tmp/velmora-bench).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench_common.sh
source bench/bench_common.sh "${1:-build}" commands_bench
cmake --build "$build/win64" -j 2 --target convert_bench Velmora >/dev/null
floor_bench=$build/win64/bench/convert_bench.exe
run_win() { scripts/wine-run "$prefix" "$@" 2>/dev/null | tr -d '\r'; }
timed() { awk '/^timed/ { print $2 }'; }

# The tree: folders d00..d19, each with s00..s23 (500 folders), 20 files in
# each; every tenth file already without tabs. Its expected outcome beside it.
if [ ! -d "$data/tree.expected" ]; then
  rm -rf "$data/tree.orig" "$data/tree.flat"
  mkdir -p "$data/tree.flat"
  "$host_bench" generate source 10 "$data/tree.all"
  (cd "$data/tree.flat" && split -n l/10000 -d -a 5 --additional-suffix=.txt "$data/tree.all" f)
  rm -f "$data/tree.all"
  for i in $(seq 0 9999); do
    k=$((i / 20))
    if [ $k -lt 20 ]; then dir=$(printf 'd%02d' $k); else dir=$(printf 'd%02d/s%02d' $(((k - 20) / 24)) $(((k - 20) % 24))); fi
    mkdir -p "$data/tree.orig/$dir"
    f=$(printf 'f%05d.txt' "$i")
    if [ $((i % 10)) -eq 0 ]; then
      expand -t 8 "$data/tree.flat/$f" >"$data/tree.orig/$dir/$f"
    else
      mv "$data/tree.flat/$f" "$data/tree.orig/$dir/$f"
    fi
  done
  rm -rf "$data/tree.flat"
  cp -r "$data/tree.orig" "$data/tree.expected.tmp"
  find "$data/tree.expected.tmp" -name '*.txt' | while read -r f; do expand -t 8 "$f" >"$f.x" && mv "$f.x" "$f"; done
  mv "$data/tree.expected.tmp" "$data/tree.expected"
fi
echo "tree: $(find "$data/tree.orig" -type f | wc -l) files in $(find "$data/tree.orig" -mindepth 1 -type d | wc -l) folders," \
  "$(grep -L "$(printf '\t')" -r "$data/tree.orig" | wc -l) without tabs, $(du -sb "$data/tree.orig" | awk '{ printf "%.1f", $1 / 1e6 }') MB"

# The program opens its main window only where it finds itself installed
# (as in commands_bench.sh); its settings for the run, taken away at the end.
scripts/wine-run "$prefix" cmd /c exit >/dev/null 2>&1 || true
install_key='HKLM\Software\Orvane\Zenvero\SelfInstall'
settings_key='HKCU\Software\Orvane\Zenvero\Settings'
version=$(sed -n 's/^project(Velmora VERSION \([0-9]*\)\.\([0-9]*\).*/\1 \2/p' CMakeLists.txt)
# shellcheck disable=SC2086
version=$(printf '%d.%02d' $version)
scripts/wine-run "$prefix" reg add "$install_key" /v Directory /d "$(winpath "$build/win64/dist")\\" /f >/dev/null 2>&1
scripts/wine-run "$prefix" reg add "$install_key" /v Version /d "$version" /f >/dev/null 2>&1
scripts/wine-run "$prefix" reg add "$settings_key" /v IncludeSubfolders /t REG_DWORD /d 1 /f >/dev/null 2>&1
trap 'scripts/wine-run "$prefix" reg delete "HKLM\\Software\\Orvane" /f >/dev/null 2>&1 || true;
      scripts/wine-run "$prefix" reg delete "HKCU\\Software\\Orvane" /f >/dev/null 2>&1 || true' EXIT

work=$data/tree
status=0
fresh() { rm -rf "$work" && cp -r "$data/tree.orig" "$work" && sync; }
check() { diff -rq "$data/tree.expected" "$work" >/dev/null || { echo "DIFFERS: $1"; status=1; }; }
velmora() {  # ProgressDelay
  scripts/wine-run "$prefix" reg add "$settings_key" /v ProgressDelay /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  local out
  out=$(run_win "$win_bench" multiple "$(winpath "$data")" "$(winpath "$work")\\*.txt") || status=1
  echo "$out" | grep report >&2 || echo "$out" >&2
  echo "$out" | timed
}

# Two rounds, each with every job once and in the same order, so that a
# machine that slows down or speeds up over the runs meets all of them.
declare -A total
jobs=(floor inplace off on)
declare -A label=([floor]="floor (walk + file work)" [inplace]="conversion in process"
                  [off]="Velmora, window off" [on]="Velmora, window on")
for round in 1 2; do
  for job in "${jobs[@]}"; do
    fresh
    case $job in
      floor) t=$(run_win "$floor_bench" floor-tree "$(winpath "$work")" | timed) || status=1 ;;
      inplace) t=$(run_win "$floor_bench" inplace-tree "$(winpath "$work")" | timed) || status=1; check "in process" ;;
      off) t=$(velmora 4294967295); check "window off" ;;
      on) t=$(velmora 0); check "window on" ;;
    esac
    echo "round $round: ${label[$job]}: ${t}s" >&2
    total[$job]=$(awk -v a="${total[$job]:-0}" -v b="$t" 'BEGIN { print a + b }')
  done
done
rm -rf "$work"

echo
printf '%-26s | %12s | %9s\n' job "seconds, sum" "/ floor"
for job in "${jobs[@]}"; do
  printf '%-26s | %11ss | %8sx\n' "${label[$job]}" "${total[$job]}" "$(ratio "${total[$job]}" "${total[floor]}")"
done
echo "window on / off: $(ratio "${total[on]}" "${total[off]}")x"
echo "(all under Wine, two rounds summed; the floor and the conversion in process,"
echo " Velmora from the press of its button to its results.)"
exit $status
