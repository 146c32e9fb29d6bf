#!/usr/bin/env bash
# Runs inside xvfb-run: each named test program of build/bin under Wine, one process each.
# Runs them all, then fails if any failed.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
status=0
for program in "$@"; do
  if [ ! -f "$BUILD/bin/$program.exe" ]; then
    echo "missing test program $program.exe" >&2
    status=1
    continue
  fi
  log "$program (under Wine)"
  wine "$BUILD/bin/$program.exe" --gtest_brief=1 || status=1
done
exit $status
