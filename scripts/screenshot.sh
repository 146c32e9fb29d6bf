#!/usr/bin/env bash
# Runs inside xvfb-run: registers the demo services, starts Kestrane, waits for its main window,
# photographs the screen and ends the program. Everything Wine runs here shares the one virtual display.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
exe=$1
shot=$2
install_demo_services
wine "$exe" &
pid=$!
for _ in $(seq 1 120); do
  if xwininfo -root -tree 2>/dev/null | grep '"Kestrane "' >/dev/null; then break; fi
  sleep 0.5
done
sleep 3   # let the window finish painting its lists, texts and picture
import -window root "$shot"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
