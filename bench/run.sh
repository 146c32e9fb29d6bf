#!/usr/bin/env bash
# For 300 and 3,000 registered services (COUNTS to change them), in a Wine prefix of its own, reports as
# medians every command of the main window beside its floor (the program's work done with only the calls
# it needs, made by the bench program itself in the same process, runs of the two interleaved) and the
# ratio of the two: fill of the lists, selection, filters by state and by start mode, details window, save,
# editor on a 3,000-record and a 40,000-record file, preview, both exports and the application from the
# menu (the last four on the same 300 records at every size), the application of 10,000 to 40,000 records
# the machine lacks; then start-up to the first service shown and `Kestrane.exe /comparer` of one record,
# program and floor processes alternating. The prefix holds the application folder as its package
# installs it (pictures, texts, forbidden list), so that every window reads what it reads in real use.
# With SC=1, the application is also timed as a batch file of the same sc commands run by Wine's cmd (it
# takes minutes).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
RUNS=${RUNS:-5}
COUNTS=${COUNTS:-"300 3000"}

ensure_packages
build_windows
use_prefix wineprefix-bench
trap stop_prefix EXIT
# The application folder as installed, from the package just built (again whenever the package is newer).
installed="$WINEPREFIX/drive_c/Program Files/Kestrane/Kestrane.exe"
version=$(sed -n 's/^project(Kestrane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ ! -f "$installed" ] || [ "$BUILD/Kestrane-$version.msi" -nt "$installed" ]; then
  stop_prefix
  install_app
  touch "$installed"
fi

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

bench_count() {
  local count=$1
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -e
    bench() { wine "$BUILD/bin/kestrane_bench.exe" "$@" | tr -d "\r"; }
    wine "$BUILD/bin/kestrane_demo.exe" unbench >/dev/null 2>&1 || true
    wine "$BUILD/bin/kestrane_demo.exe" bench '"$count"' >/dev/null
    bench rows '"$RUNS"'
    : > "$BUILD/bench-startup.txt"; : > "$BUILD/bench-startup-floor.txt"
    for i in $(seq 1 '"$RUNS"'); do
      bench startup >> "$BUILD/bench-startup.txt"
      bench startup-floor >> "$BUILD/bench-startup-floor.txt"
    done
    bench comparer '"$RUNS"'
    if [ "${SC:-0}" = 1 ]; then bench apply-files > "$BUILD/bench-batches.txt"; fi
  '
  local s f
  s=$(awk '{print $2}' "$BUILD/bench-startup.txt" | median)
  f=$(awk '{print $2}' "$BUILD/bench-startup-floor.txt" | median)
  printf '%-8s %5d services: %8.1f ms   floor %8.1f ms   ratio %5.2f   (medians of %d)\n' startup "$count" "$s" "$f" \
    "$(echo "$s / $f" | bc -l)" "$RUNS"
  if [ "${SC:-0}" = 1 ]; then
    local times=()
    for batch in $(cat "$BUILD/bench-batches.txt"); do
      start=$(date +%s.%N)
      wine cmd /c "$batch" >/dev/null 2>&1 || true
      end=$(date +%s.%N)
      times+=("$(echo "($end - $start) * 1000" | bc)")
    done
    printf '%s\n' "${times[@]}" | median | awk -v c="$count" '{printf "sc batch %5d services: %8.1f ms   (the apply row as sc commands)\n", c, $1}'
  fi
  xvfb-run -a bash -c 'wine "$BUILD/bin/kestrane_demo.exe" unbench >/dev/null 2>&1 || true'
}

export BUILD SC="${SC:-0}"
# One wineserver for the whole run: otherwise each program pays for starting it, unevenly.
stop_prefix
(wineserver -p >/dev/null 2>&1 &)
sleep 1
for count in $COUNTS; do
  log "$count services"
  bench_count "$count"
done
