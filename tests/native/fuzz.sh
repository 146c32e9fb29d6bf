#!/usr/bin/env bash
# Builds the libFuzzer target fuzz_config with clang (AddressSanitizer and UBSan on) and runs it for a bounded
# time: FUZZ_SECONDS (default 60), or the first argument. Exits non-zero when the fuzzer finds a crash or a
# broken invariant; the input that caused it is left in the build folder (crash-*), and can be replayed with
#   build/fuzz/fuzz_config build/fuzz/crash-...
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build/fuzz}"
duration="${1:-${FUZZ_SECONDS:-60}}"

clangxx="$(command -v clang++ || command -v clang++-14 || true)"
if [ -z "$clangxx" ]; then
  echo "fuzz.sh: clang++ not found (Debian: apt-get install clang)" >&2
  exit 2
fi

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER="$clangxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKESTRANE_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz_config --parallel "$(nproc)"

# The corpus grows from one run to the next; it starts from the hand-written configuration file.
corpus="$build/corpus"
mkdir -p "$corpus"
cp -n "$here"/../profile/golden/*.cfg "$corpus"/ 2>/dev/null || true
printf '"Spooler",1\r\n"wuauserv",0\r\n Dnscache , 2\r\n"a,b"' >"$corpus/forbidden-list" 2>/dev/null || true

"$build/fuzz_config" -max_total_time="$duration" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$build/" "$corpus"
