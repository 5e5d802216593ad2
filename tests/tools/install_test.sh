#!/bin/sh
# Installs the build into a fresh prefix and runs what was installed, with
# no setting that points at the catalogues: the tool, and the host example
# of the documentation built outside the tree through the CMake package and
# through pkg-config.
# usage: install_test.sh BUILD_DIR SOURCE_DIR VERSION
set -u
BUILD=$1
SOURCE=$2
failures=0
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kcertadm-install.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
PREFIX=$WORK/prefix
unset HeronResLang KCERTADM_MSG_DIR
# A sanitizer build's library brings its runtime along; the consumers here
# are built without it, so the runtime cannot come first in their load order.
export ASAN_OPTIONS="verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null || { echo "install failed"; exit 1; }
[ -f "$PREFIX/include/kcertadm.h" ] || fail "header not installed"
LIB=$(find "$PREFIX" -name 'libkcertadm.so.*.*' -type f | head -n 1)
LIBDIR=$(dirname "$LIB")
[ -f "$LIBDIR/kcertadm/kmsglib.msg" ] || fail "English catalogue not beside the library"
[ -f "$LIBDIR/kcertadm/kmsglde.msg" ] || fail "German catalogue not beside the library"

# The shared object is versioned and the unversioned name is a link.
soname=$(objdump -p "$LIB" | awk '/SONAME/ { print $2 }')
case $soname in libkcertadm.so.[0-9]*) ;; *) fail "SONAME is \"$soname\"" ;; esac
[ -L "$LIBDIR/$soname" ] || fail "no link $soname"
[ -L "$LIBDIR/libkcertadm.so" ] || fail "no development link libkcertadm.so"

# Exactly the functions of the header are visible, all of them code.
EXPECTED="Base64Decode Base64Encode BMPToHCSET EnvelopeCert FreeCertData FreeExtKeyData
GetCertDN GetKeyData GetServerKey GetServerRootCert GetTextDates InitSecLib PackagePKCS7Cert
ParseCert ParseCertReq ParseDNSeq ProcessClientCertReq ProcessSecurityCmd ReadCert
SignCertificate SignClientCert T61ToHCSET"
expected=$(printf '%s\n' $EXPECTED | LC_ALL=C sort)
functions=$(nm -D --defined-only "$LIB" | awk '$2 == "T" {print $3}' | LC_ALL=C sort)
exported=$(nm -D --defined-only "$LIB" | awk '{print $NF}' | LC_ALL=C sort)
[ "$exported" = "$expected" ] || fail "exported symbols differ: $(printf '%s\n' "$exported" | tr '\n' ' ')"
[ "$functions" = "$expected" ] || fail "an export is not a function"

cd "$WORK" || exit 1
out=$("$PREFIX/bin/kcertadm" NoSuchCommand)
[ $? -eq 1 ] || fail "unknown command did not exit 1"
case $out in "30001: "?*) ;; *) fail "unknown command printed \"$out\"" ;; esac
out=$(HeronResLang=de "$PREFIX/bin/kcertadm" AdminSecurity)
case $out in "30065: Die "*) ;; *) fail "German text missing: \"$out\"" ;; esac

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

# The installed catalogue is the one read: mark it and look for the mark,
# from the tool and from the installed shared library.
sed -i 's/^30065 .*/30065 Installed catalogue./' "$LIBDIR/kcertadm/kmsglib.msg"
out=$("$PREFIX/bin/kcertadm" AdminSecurity)
[ "$out" = "30065: Installed catalogue." ] || fail "tool did not read the installed catalogue: \"$out\""
out=$(LD_LIBRARY_PATH=$LIBDIR "$WORK/pc_example" AdminSecurity "")
[ "$out" = "Installed catalogue." ] || fail "library did not read the installed catalogue: \"$out\""

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "install checks passed"
