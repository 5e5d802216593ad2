#!/usr/bin/env bash
# Builds every fuzz target into build-fuzz/fuzz/: the project's own build,
# configured with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer (KCERTADM_BUILD_FUZZ). Not part of ./test.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${KCERTADM_FUZZ_BUILD:-$root/build-fuzz}"
clang="$(command -v clang++-14 || command -v clang++ || true)"
if [ -z "$clang" ]; then
  echo "fuzz/build.sh: clang++ is needed (apt-get install clang-14 libclang-rt-14-dev)" >&2
  exit 1
fi
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
if [ ! -f "$out/build.ninja" ]; then
  cmake -S "$root" -B "$out" -G Ninja "${launcher[@]}" -DCMAKE_CXX_COMPILER="$clang" \
    -DCMAKE_C_COMPILER="${clang%++*}${clang##*++}" -DKCERTADM_BUILD_FUZZ=ON \
    -DKCERTADM_BUILD_TESTS=OFF -DKCERTADM_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$out" --target fuzz -j "${KCERTADM_FUZZ_JOBS:-2}"
