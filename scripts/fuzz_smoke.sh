#!/usr/bin/env bash
# scripts/fuzz_smoke.sh [TOTAL_SECONDS]: installs clang and the libFuzzer
# runtime if they are missing, builds the fuzz targets (fuzz/build.sh),
# makes fresh seed corpora and runs every target over them, sharing
# TOTAL_SECONDS (120 by default) equally. Fails on a build failure or when
# any target crashes, hangs, leaks or trips a sanitizer; what it found is
# left in fuzz/artifacts/<target>/.
source "$(dirname "$0")/common.sh"
total="${1:-120}"
KCERTADM_PACKAGES+=(clang-14 libclang-rt-14-dev)
install_missing_packages

export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fuzz="$KCERTADM_ROOT/fuzz"
targets=("$fuzz"/*_fuzz.cc)
seconds=$((total / ${#targets[@]}))
((seconds > 0)) || seconds=1
# The seed corpora from the sources as they are now, not what earlier runs
# added to them.
rm -rf "$fuzz/corpus"
"$fuzz/make_corpus.sh"
"$fuzz/run.sh" "$seconds"
