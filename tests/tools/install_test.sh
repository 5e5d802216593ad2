#!/bin/sh
# Installs the build into a fresh prefix and runs what was installed, with
# no setting that points at the catalogues: the tool, and the host example
# of the documentation built through the CMake package and pkg-config.
# usage: install_test.sh BUILD_DIR SOURCE_DIR VERSION
set -u
BUILD=$1
SOURCE=$2
. "$(dirname "$0")/test_lib.sh"
PREFIX=$WORK/prefix
unset KCERTADM_MSG_DIR
# The consumers are built without a sanitizer build's runtime, so it cannot come first in their load order.
export ASAN_OPTIONS="verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"

cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null || { echo "install failed"; exit 1; }
LIB=$(find "$PREFIX" -name 'libkcertadm.so.*.*' -type f | head -n 1)
LIBDIR=$(dirname "$LIB")
for file in "$PREFIX/include/kcertadm.h" "$LIBDIR/kcertadm/kmsglib.msg" "$LIBDIR/kcertadm/kmsglde.msg"; do
  [ -f "$file" ] || fail "$file not installed"
done
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

# Through the CMake package.
cd "$WORK" || exit 1
cmake -S "$SOURCE/tests/tools/consumer" -B "$WORK/cmake-build" -G Ninja \
      -DCMAKE_PREFIX_PATH="$PREFIX" -DHOST_EXAMPLE_SOURCE="$SOURCE/docs/host_example.c" >"$WORK/cmake.log" 2>&1 &&
  cmake --build "$WORK/cmake-build" >>"$WORK/cmake.log" 2>&1 ||
  { cat "$WORK/cmake.log"; fail "the CMake consumer did not build"; }
out=$("$WORK/cmake-build/host_example" AdminSecurity "")
[ "$out" = "Key ring administration is available." ] || fail "CMake consumer printed \"$out\""

# Through pkg-config.
PC_DIR=$(dirname "$(find "$PREFIX" -name kcertadm.pc | head -n 1)")
flags=$(PKG_CONFIG_PATH=$PC_DIR pkg-config --cflags --libs kcertadm) || fail "pkg-config does not know kcertadm"
[ "$(PKG_CONFIG_PATH=$PC_DIR pkg-config --modversion kcertadm)" = "$3" ] || fail "pkg-config gives another version than $3"
# shellcheck disable=SC2086
cc "$SOURCE/docs/host_example.c" $flags -o "$WORK/pc_example" || fail "the pkg-config consumer did not build"
out=$(LD_LIBRARY_PATH=$LIBDIR "$WORK/pc_example" NoSuchCommand "")
[ $? -eq 1 ] || fail "pkg-config consumer: unknown command did not fail"
[ "$out" = "The command is not known." ] || fail "pkg-config consumer printed \"$out\""

# The installed catalogue is the one read, by the tool and by the library.
sed -i 's/^30065 .*/30065 Installed catalogue./' "$LIBDIR/kcertadm/kmsglib.msg"
out=$("$PREFIX/bin/kcertadm" AdminSecurity)
[ "$out" = "30065: Installed catalogue." ] || fail "tool did not read the installed catalogue: \"$out\""
out=$(LD_LIBRARY_PATH=$LIBDIR "$WORK/pc_example" AdminSecurity "")
[ "$out" = "Installed catalogue." ] || fail "library did not read the installed catalogue: \"$out\""
finish
