#!/usr/bin/env bash
# For 300, 1,000 and 3,000 registered services (COUNTS to change them), in a Wine prefix of its own,
# reports as medians the time of one fill of the three service lists, of one selection refresh and of
# start-up to the first service shown, each beside its floor (the minimal calls for the same result,
# made by the bench program itself) and the ratio of the two. Then, with 300 services, the application of
# a configuration that changes every start mode and starts or stops five services, beside its floor (the
# 2R method calls alone) and beside a batch file of the same `sc config` / `sc start` / `sc stop` commands
# run by Wine's cmd (APPLY=0 leaves this part out: the batch files take minutes).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
RUNS=${RUNS:-9}
COUNTS=${COUNTS:-"300 1000 3000"}

ensure_packages
build_windows
use_prefix wineprefix-bench
trap stop_prefix EXIT

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

bench_count() {
  local count=$1
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -e
    bench() { wine "$BUILD/bin/kestrane_bench.exe" "$@" | tr -d "\r"; }
    wine "$BUILD/bin/kestrane_demo.exe" unbench >/dev/null 2>&1 || true
    wine "$BUILD/bin/kestrane_demo.exe" bench '"$count"' >/dev/null
    bench fill '"$RUNS"'
    bench select '"$RUNS"' | tail -1
    for i in $(seq 1 '"$RUNS"'); do bench startup; done > "$BUILD/bench-startup.txt"
    for i in $(seq 1 '"$RUNS"'); do bench startup-floor; done > "$BUILD/bench-startup-floor.txt"
    wine "$BUILD/bin/kestrane_demo.exe" unbench >/dev/null 2>&1 || true
  '
  local s f
  s=$(awk '{print $2}' "$BUILD/bench-startup.txt" | median)
  f=$(awk '{print $2}' "$BUILD/bench-startup-floor.txt" | median)
  printf '%-8s %5d services: %8.1f ms   floor %8.1f ms   ratio %5.2f   (medians of %d)\n' startup "$count" "$s" "$f" \
    "$(echo "$s / $f" | bc -l)" "$RUNS"
}

export BUILD
# One wineserver for the whole run: otherwise each program pays for starting it, unevenly.
stop_prefix
(wineserver -p >/dev/null 2>&1 &)
sleep 1
for count in $COUNTS; do
  log "$count services"
  bench_count "$count"
done

if [ "${APPLY:-1}" != 0 ]; then
  log "applying a configuration of 300 services"
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -e
    wine "$BUILD/bin/kestrane_demo.exe" unbench >/dev/null 2>&1 || true
    wine "$BUILD/bin/kestrane_demo.exe" bench 300 >/dev/null
    wine "$BUILD/bin/kestrane_bench.exe" apply '"$RUNS"' | tr -d "\r"
    wine "$BUILD/bin/kestrane_bench.exe" apply-files | tr -d "\r" > "$BUILD/bench-batches.txt"
  '
  times=()
  for batch in $(cat "$BUILD/bench-batches.txt"); do
    for _ in 1 2; do
      start=$(date +%s.%N)
      wine cmd /c "$batch" >/dev/null 2>&1 || true
      end=$(date +%s.%N)
      times+=("$(echo "($end - $start) * 1000" | bc)")
    done
  done
  printf '%s\n' "${times[@]}" | median | awk -v n=${#times[@]} '{printf "sc batch   300 services: %8.1f ms   (median of %d runs of the same changes as sc commands)\n", $1, n}'
  xvfb-run -a bash -c 'wine "$BUILD/bin/kestrane_demo.exe" unbench >/dev/null 2>&1 || true'
fi
