#!/bin/sh
# Installs the build into a temporary prefix, then builds the host example
# of the documentation twice outside the tree: found through the CMake
# package, and through pkg-config. Both must run and reach the library.
# usage: consumer_test.sh BUILD_DIR SOURCE_DIR
set -u
BUILD=$1
SOURCE=$2
failures=0
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kcertadm-consumer.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
PREFIX=$WORK/prefix
unset HeronResLang KCERTADM_MSG_DIR
# A sanitizer build's library brings its runtime along; the consumers here
# are built without it, so the runtime cannot come first in their load order.
export ASAN_OPTIONS="verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null || { echo "install failed"; exit 1; }
LIB=$(find "$PREFIX" -name 'libkcertadm.so.*.*' -type f | head -n 1)
LIBDIR=$(dirname "$LIB")

# The shared object is versioned and the unversioned name is a link.
soname=$(objdump -p "$LIB" | awk '/SONAME/ { print $2 }')
case $soname in libkcertadm.so.[0-9]*) ;; *) fail "SONAME is \"$soname\"" ;; esac
[ -L "$LIBDIR/$soname" ] || fail "no link $soname"
[ -L "$LIBDIR/libkcertadm.so" ] || fail "no development link libkcertadm.so"

# Through the CMake package.
cmake -S "$SOURCE/tests/tools/consumer" -B "$WORK/cmake-build" -G Ninja \
      -DCMAKE_PREFIX_PATH="$PREFIX" -DHOST_EXAMPLE_SOURCE="$SOURCE/docs/host_example.c" \
      >"$WORK/cmake.log" 2>&1 &&
  cmake --build "$WORK/cmake-build" >>"$WORK/cmake.log" 2>&1 ||
  { cat "$WORK/cmake.log"; fail "the CMake consumer did not build"; }
out=$("$WORK/cmake-build/host_example" AdminSecurity "")
[ "$out" = "Key ring administration is available." ] || fail "CMake consumer printed \"$out\""

# Through pkg-config.
PC_DIR=$(dirname "$(find "$PREFIX" -name kcertadm.pc | head -n 1)")
flags=$(PKG_CONFIG_PATH=$PC_DIR pkg-config --cflags --libs kcertadm) ||
  fail "pkg-config does not know kcertadm"
[ "$(PKG_CONFIG_PATH=$PC_DIR pkg-config --modversion kcertadm)" = "$3" ] ||
  fail "pkg-config gives another version than $3"
# shellcheck disable=SC2086
cc "$SOURCE/docs/host_example.c" $flags -o "$WORK/pc_example" || fail "the pkg-config consumer did not build"
out=$(LD_LIBRARY_PATH=$LIBDIR "$WORK/pc_example" NoSuchCommand "")
[ $? -eq 1 ] || fail "pkg-config consumer: unknown command did not fail"
[ "$out" = "The command is not known." ] || fail "pkg-config consumer printed \"$out\""

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "consumer checks passed"
