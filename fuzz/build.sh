#!/usr/bin/env bash
# Builds every fuzz target into build-fuzz/ with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer. Not part of ./test.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${KCERTADM_FUZZ_BUILD:-$root/build-fuzz}"
clang="$(command -v clang++-14 || command -v clang++ || true)"
if [ -z "$clang" ]; then
  echo "fuzz/build.sh: clang++ is needed (apt-get install clang-14 libclang-rt-14-dev)" >&2
  exit 1
fi
if [ ! -f "$out/build.ninja" ]; then
  cmake -S "$root/fuzz" -B "$out" -G Ninja -DCMAKE_CXX_COMPILER="$clang" >/dev/null
fi
cmake --build "$out" -j "${KCERTADM_FUZZ_JOBS:-2}"
