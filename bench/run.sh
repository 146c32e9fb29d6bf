#!/usr/bin/env bash
# Registers 300 services in a Wine prefix of its own and reports, as medians over several runs, the time
# of one fill of the three service lists, of one selection refresh and of start-up to the first service
# shown, next to the time of querying the same services one by one with Wine's own `sc query`.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
RUNS=${RUNS:-7}
COUNT=${COUNT:-300}

ensure_packages
build_windows
use_prefix wineprefix-bench
trap stop_prefix EXIT
wine "$BUILD/bin/kestrane_demo.exe" unbench >/dev/null 2>&1 || true
log "registering $COUNT services"
wine "$BUILD/bin/kestrane_demo.exe" bench "$COUNT"
bench() { xvfb-run -a -s "-screen 0 1280x1024x24" wine "$BUILD/bin/kestrane_bench.exe" "$@" | tr -d '\r'; }

log "Kestrane"
bench fill "$RUNS"
bench select "$RUNS"
startups=()
for _ in $(seq 1 "$RUNS"); do
  line=$(bench startup)
  echo "$line"
  startups+=("$(echo "$line" | awk '{print $2}')")
done
printf '%s\n' "${startups[@]}" | sort -n | awk '{a[NR]=$1} END {printf "startup median %.1f ms over %d runs\n", (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2), NR}'

log "Wine's sc query, one process per service"
batch="$WINEPREFIX/drive_c/sc-each.bat"
: > "$batch"
for i in $(seq -f '%04g' 1 "$COUNT"); do printf 'sc query KstBench%s >nul\r\n' "$i" >> "$batch"; done
start=$(date +%s.%N)
wine cmd /c 'C:\sc-each.bat' >/dev/null 2>&1
end=$(date +%s.%N)
echo "sc query of $COUNT services one by one: $(echo "($end - $start) * 1000" | bc) ms"
wine "$BUILD/bin/kestrane_demo.exe" unbench >/dev/null 2>&1 || true
