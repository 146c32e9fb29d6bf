#!/usr/bin/env bash
# Runs inside xvfb-run: starts the program, waits for its main window, photographs the screen, ends it.
set -euo pipefail
exe=$1
shot=$2
wine "$exe" &
pid=$!
for _ in $(seq 1 120); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"Kestrane "'; then break; fi
  sleep 0.5
done
sleep 3   # let the window finish painting its lists, texts and picture
import -window root "$shot"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
