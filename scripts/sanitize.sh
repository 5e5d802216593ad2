#!/usr/bin/env bash
# scripts/sanitize.sh asan|tsan: builds the project under a sanitizer in its
# own build directory and runs the tests there.
#   asan  AddressSanitizer (with LeakSanitizer) and UndefinedBehaviorSanitizer,
#         build-asan/, the whole ctest suite: the gtest programs, the C
#         programs and the script tests that run the kcertadm tool.
#   tsan  ThreadSanitizer, build-tsan/, every test that starts threads: the
#         tests whose names match KCERTADM_TSAN_FILTER, in the test programs
#         whose sources start threads.
# Exits non-zero on a build failure, a failed test or a sanitizer report.
source "$(dirname "$0")/common.sh"
kind="${1:?usage: scripts/sanitize.sh asan|tsan}"
install_missing_packages

# Every sanitizer report is fatal and names its stack.
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
# Beyond the defaults, AddressSanitizer also checks uses of stack frames that
# have returned, the order of static initialisers, and whole C strings.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:strict_string_checks=1}"

# The GCC 12 ThreadSanitizer runtime cannot place its shadow memory when the
# kernel randomises mappings with more than 28 bits; running without address
# randomisation avoids that where the machine allows it.
no_aslr=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
  no_aslr=(setarch "$(uname -m)" -R)
fi

# threaded_tests FILTER: prints "subsystem Suite.Name" for every test body
# in tests/*/*_test.cc that starts a thread, and fails when one of them is
# not matched by FILTER (a gtest filter of ":"-separated patterns) or a
# thread is started outside a test body, so no threaded test is left out.
threaded_tests() {
  local filter=$1 status=0 file sub name line pattern matched
  local -a patterns
  IFS=: read -r -a patterns <<<"$filter"
  for file in "$KCERTADM_ROOT"/tests/*/*_test.cc; do
    sub=$(basename "$(dirname "$file")")
    while read -r line name; do
      matched=0
      for pattern in "${patterns[@]}"; do
        # shellcheck disable=SC2053
        [[ $name == $pattern ]] && matched=1
      done
      if [ "$matched" -eq 0 ]; then
        echo "${file#"$KCERTADM_ROOT"/}:$line: ${name:-code outside a test} starts threads" \
             "but is not matched by $filter" >&2
        status=1
      else
        echo "$sub $name"
      fi
    done < <(awk '
      match($0, /^ *TEST(_F|_P)? *\( *[A-Za-z0-9_]+ *, *[A-Za-z0-9_]+/) {
        split(substr($0, RSTART, RLENGTH), part, /[(,]/)
        gsub(/ /, "", part[2]); gsub(/ /, "", part[3])
        name = part[2] "." part[3]
      }
      /^ *\/\// { next }
      /std::(j?thread|async)([^A-Za-z0-9_]|$)|pthread_create/ && !seen[name]++ { print FNR, name }
    ' "$file")
  done
  return "$status"
}

case "$kind" in
  asan)
    export KCERTADM_BUILD="$KCERTADM_ROOT/build-asan"
    build_project -DKCERTADM_SANITIZE=address,undefined -DKCERTADM_BUILD_BENCH=OFF
    cd "$KCERTADM_BUILD"
    ctest --output-on-failure -j "$KCERTADM_JOBS"
    ;;
  tsan)
    export KCERTADM_BUILD="$KCERTADM_ROOT/build-tsan"
    filter="${KCERTADM_TSAN_FILTER:-*Concurren*:*Thread*:*Deadlock*}"
    found=$(threaded_tests "$filter")
    mapfile -t programs < <(awk '{ print "test_" $1 }' <<<"$found" | sort -u)
    if [ "${#programs[@]}" -eq 0 ]; then
      echo "scripts/sanitize.sh: no test starts threads" >&2
      exit 1
    fi
    if [ ! -f "$KCERTADM_BUILD/build.ninja" ]; then
      cmake -S "$KCERTADM_ROOT" -B "$KCERTADM_BUILD" -G Ninja -DKCERTADM_WERROR=ON \
        -DKCERTADM_SANITIZE=thread -DKCERTADM_BUILD_BENCH=OFF
    fi
    cmake --build "$KCERTADM_BUILD" --target "${programs[@]}" -j "$KCERTADM_JOBS"
    export KCERTADM_MSG_DIR="$KCERTADM_ROOT/messages"
    for program in "${programs[@]}"; do
      echo "== $program under ThreadSanitizer: $(awk -v p="$program" '"test_" $1 == p { printf "%s ", $2 }' <<<"$found")"
      (cd "$KCERTADM_BUILD/tests" && "${no_aslr[@]}" "./$program" --gtest_filter="$filter")
    done
    ;;
  *)
    echo "scripts/sanitize.sh: asan or tsan" >&2
    exit 2
    ;;
esac
