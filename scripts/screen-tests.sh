#!/usr/bin/env bash
# Runs the small-screen tests of windows_tests under Wine on the screens users have that leave the least
# room: 144 DPI on 1024x768 and 96 DPI on 800x600, each on a virtual display of exactly that size.
# With --shots, also saves each window as it was seen into docs/screenshots (PNG).
set -uo pipefail
source "$(dirname "$0")/lib.sh"
use_prefix wineprefix-test >/dev/null
shots=""
if [ "${1:-}" = --shots ]; then
  shots="$BUILD/shots"
  rm -rf "$shots" && mkdir -p "$shots"
fi

set_dpi() {
  stop_prefix
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -k 2>/dev/null; wineserver -w 2>/dev/null || true
}

status=0
for screen in "144 1024 768" "96 800 600"; do
  read -r dpi width height <<<"$screen"
  set_dpi "$dpi"
  log "every window on a ${width}x${height} screen at $dpi DPI (under Wine)"
  windowsShots=""
  # Wine's Z: drive is the Unix root (winepath would start Wine here, away from the virtual display).
  [ -n "$shots" ] && windowsShots="Z:${shots//\//\\}"
  output=$(KESTRANE_SCREEN="$screen" KESTRANE_SHOTS="$windowsShots" \
    xvfb-run -a -s "-screen 0 ${width}x${height}x24" \
    wine "$BUILD/bin/windows_tests.exe" --gtest_filter='SmallScreen.*' --gtest_brief=1 2>&1)
  code=$?
  printf '%s\n' "$output" | grep -vE '^(fixme|err|warn):' || true
  # The test must have run, not been skipped for want of its screen.
  if [ $code -ne 0 ] || ! printf '%s\n' "$output" | grep -q 'PASSED .* 1 test'; then
    echo "the small-screen test failed or did not run at $dpi DPI on ${width}x${height}" >&2
    status=1
  fi
  if [ -n "$shots" ]; then
    for picture in "$shots"/*.bmp; do
      [ -f "$picture" ] || continue
      name=$(basename "$picture" .bmp)
      convert "$picture" "$ROOT/docs/screenshots/$name-${dpi}dpi-${width}x${height}.png" && rm -f "$picture"
    done
  fi
done
set_dpi 96
stop_prefix
exit $status
