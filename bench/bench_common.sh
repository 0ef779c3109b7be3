# Sourced by the benchmark scripts after `cd` to the top of the tree, with
# $1 the build folder (default build) and $2 the Windows benchmark target.
# Builds the host generator and that target, and sets build, data,
# host_bench, win_bench and prefix, and the timing helpers.
build=${1:-build}
data=${BENCH_DIR:-/tmp/velmora-bench}
mkdir -p "$data"

cmake -S . -B "$build/host" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/host" -j 2 --target convert_bench_host >/dev/null
cmake -S . -B "$build/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build "$build/win64" -j 2 --target "$2" >/dev/null
host_bench=$build/host/bench/convert_bench_host
win_bench=$build/win64/bench/$2.exe
prefix=$build/win64/wineprefix

winpath() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }
now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
