#!/bin/sh
# Builds the Debian packages with cpack and checks what each holds and
# declares; runs lintian over them where it is installed; then unpacks them
# into a scratch root (no installation) and runs the tool there.
# usage: deb_test.sh BUILD_DIR VERSION
set -u
BUILD=$1
VERSION=$2
. "$(dirname "$0")/test_lib.sh"
unset KCERTADM_MSG_DIR
MAJOR=${VERSION%%.*}

cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/out" >"$WORK/cpack.log" 2>&1 ||
  { cat "$WORK/cpack.log"; echo "cpack failed"; exit 1; }
LIB_DEB=$(find "$WORK/out" -maxdepth 1 -name "libkcertadm${MAJOR}_*.deb" | head -n 1)
DEV_DEB=$(find "$WORK/out" -maxdepth 1 -name 'libkcertadm-dev_*.deb' | head -n 1)
TOOL_DEB=$(find "$WORK/out" -maxdepth 1 -name 'kcertadm_*.deb' | head -n 1)
[ -n "$LIB_DEB" ] && [ -n "$DEV_DEB" ] && [ -n "$TOOL_DEB" ] ||
  { ls "$WORK/out"; echo "the three packages were not made"; exit 1; }
ARCH_DIR=$(dpkg-deb -c "$LIB_DEB" | sed -n 's|.* \./usr/lib/\([^/]*\)/libkcertadm\.so\.[0-9.]*$|\1|p' | head -n 1)
[ -n "$ARCH_DIR" ] || fail "the library is not in a multiarch folder under /usr/lib"
LIBDIR=./usr/lib/$ARCH_DIR

# expect_fields DEB PATTERN... : the control information matches each pattern.
expect_fields() {
  deb=$1; shift
  dpkg-deb -I "$deb" >"$WORK/info"
  for field in "$@"; do
    grep -q -- "$field" "$WORK/info" || fail "$(basename "$deb") information lacks $field"
  done
  ! grep -q '^ *;' "$WORK/info" || fail "$(basename "$deb"): the description holds list separators"
}
# expect_files DEB PATH... : the package holds each path (a file or a link).
expect_files() {
  deb=$1; shift
  dpkg-deb -c "$deb" >"$WORK/contents"
  for path in "$@"; do
    grep -q " $path\( \|$\)" "$WORK/contents" || fail "$(basename "$deb") lacks $path"
  done
  ! grep -q ' ./usr/local' "$WORK/contents" || fail "$(basename "$deb") installs under /usr/local"
}

expect_fields "$LIB_DEB" "^ Package: libkcertadm$MAJOR\$" "^ Version: $VERSION" '^ Section: libs' \
              '^ Depends:.*libc6' '^ Depends:.*libstdc++6' ' shlibs *$' ' triggers *$'
dpkg-deb -I "$LIB_DEB" triggers | grep -q '^activate-noawait ldconfig$' || fail "no ldconfig trigger"
dpkg-deb -I "$LIB_DEB" shlibs | grep -q "^libkcertadm $MAJOR libkcertadm$MAJOR " || fail "shlibs names no package"
dpkg-deb -I "$LIB_DEB" postinst >/dev/null 2>&1 && fail "the library package keeps a postinst"
expect_files "$LIB_DEB" "$LIBDIR/libkcertadm.so.$VERSION" "$LIBDIR/kcertadm/kmsglib.msg" \
             "$LIBDIR/kcertadm/kmsglde.msg" "./usr/share/doc/libkcertadm$MAJOR/copyright" \
             "./usr/share/doc/libkcertadm$MAJOR/changelog.gz"
grep -q " $LIBDIR/libkcertadm.so.$MAJOR -> " "$WORK/contents" || fail "library package lacks the SONAME link"
grep -q " $LIBDIR/libkcertadm.so -> " "$WORK/contents" && fail "the development link is in the library package"

expect_fields "$DEV_DEB" '^ Package: libkcertadm-dev$' '^ Section: libdevel' \
              "^ Depends: libkcertadm$MAJOR (= $VERSION)"
expect_files "$DEV_DEB" ./usr/include/kcertadm.h "$LIBDIR/cmake/kcertadm/kcertadmConfig.cmake" \
             "$LIBDIR/cmake/kcertadm/kcertadmConfigVersion.cmake" "$LIBDIR/pkgconfig/kcertadm.pc" \
             ./usr/share/doc/libkcertadm-dev/copyright
grep -q " $LIBDIR/libkcertadm.so -> " "$WORK/contents" || fail "development package lacks libkcertadm.so"

expect_fields "$TOOL_DEB" '^ Package: kcertadm$' '^ Section: utils' '^ Recommends: bash-completion' \
              "^ Depends:.*libkcertadm$MAJOR (= $VERSION)"
expect_files "$TOOL_DEB" ./usr/bin/kcertadm ./usr/share/man/man1/kcertadm.1.gz \
             ./usr/share/bash-completion/completions/kcertadm ./usr/share/doc/kcertadm/README.md \
             ./usr/share/doc/kcertadm/docs/commands.md ./usr/share/doc/kcertadm/copyright \
             ./usr/share/doc/kcertadm/changelog.gz

# Debian's own checker finds nothing to warn of (in a normal build: a
# sanitizer's runtime is no part of a release).
if grep -q '^KCERTADM_SANITIZE:STRING=.' "$BUILD/CMakeCache.txt"; then
  echo "sanitizer build: lintian not run"
elif command -v lintian >/dev/null 2>&1; then
  lintian "$LIB_DEB" "$DEV_DEB" "$TOOL_DEB" >"$WORK/lintian" 2>&1
  grep -E '^(E|W): ' "$WORK/lintian" && fail "lintian reports errors or warnings"
else
  echo "lintian is not installed: the packages were not checked by it"
fi

# Unpacked into a scratch root, the tool runs and finds its catalogues.
for deb in "$LIB_DEB" "$DEV_DEB" "$TOOL_DEB"; do dpkg-deb -x "$deb" "$WORK/root"; done
out=$(cd "$WORK" && "$WORK/root/usr/bin/kcertadm" AdminSecurity)
[ "$out" = "30065: Key ring administration is available." ] || fail "unpacked tool printed \"$out\""
out=$(PKG_CONFIG_PATH=$WORK/root/usr/lib/$ARCH_DIR/pkgconfig pkg-config --variable=includedir kcertadm)
[ -f "$out/kcertadm.h" ] || fail "pkg-config includedir \"$out\" holds no header"
zcat "$WORK/root/usr/share/man/man1/kcertadm.1.gz" | grep -q '^\.TH KCERTADM' || fail "the man page is not the tool's"
finish
