#!/usr/bin/env bash
# scripts/sanitize.sh asan|tsan: builds the project under a sanitizer in its
# own build directory and runs the tests there.
#   asan  AddressSanitizer and UndefinedBehaviorSanitizer, build-asan/, the
#         whole test suite.
#   tsan  ThreadSanitizer, build-tsan/, only the test programs and tests
#         that start threads (names matching KCERTADM_TSAN_FILTER).
# Exits non-zero on a build failure, a failed test or a sanitizer report.
source "$(dirname "$0")/common.sh"
kind="${1:?usage: scripts/sanitize.sh asan|tsan}"
jobs="${KCERTADM_JOBS:-$(nproc)}"

# Every sanitizer report is fatal and names its stack.
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1}"

case "$kind" in
  asan)
    export KCERTADM_BUILD="$KCERTADM_ROOT/build-asan"
    build_project -DKCERTADM_SANITIZE=address,undefined -DKCERTADM_BUILD_BENCH=OFF
    cd "$KCERTADM_BUILD"
    ctest --output-on-failure -j "$jobs"
    ;;
  tsan)
    export KCERTADM_BUILD="$KCERTADM_ROOT/build-tsan"
    # The test programs that hold threaded tests, and the tests themselves.
    programs=(test_host_interface test_crypto test_keyring test_commands)
    filter="${KCERTADM_TSAN_FILTER:-*Concurren*:*Thread*:*Deadlock*}"
    if [ ! -f "$KCERTADM_BUILD/build.ninja" ]; then
      cmake -S "$KCERTADM_ROOT" -B "$KCERTADM_BUILD" -G Ninja \
        -DKCERTADM_SANITIZE=thread -DKCERTADM_BUILD_BENCH=OFF
    fi
    cmake --build "$KCERTADM_BUILD" --target "${programs[@]}" -j "$jobs"
    export KCERTADM_MSG_DIR="$KCERTADM_ROOT/messages"
    for program in "${programs[@]}"; do
      echo "== $program under ThreadSanitizer ($filter)"
      (cd "$KCERTADM_BUILD/tests" && "./$program" --gtest_filter="$filter")
    done
    ;;
  *)
    echo "scripts/sanitize.sh: asan or tsan" >&2
    exit 2
    ;;
esac
