#!/bin/sh
# Builds the Debian package with cpack and checks what it holds; then
# unpacks it into a scratch root (no installation) and runs the tool there.
# usage: deb_test.sh BUILD_DIR VERSION
set -u
BUILD=$1
VERSION=$2
. "$(dirname "$0")/test_lib.sh"
unset KCERTADM_MSG_DIR

cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/out" >"$WORK/cpack.log" 2>&1 ||
  { cat "$WORK/cpack.log"; echo "cpack failed"; exit 1; }
DEB=$(find "$WORK/out" -maxdepth 1 -name 'kcertadm_*.deb' | head -n 1)
[ -n "$DEB" ] || { echo "no package made"; exit 1; }

dpkg-deb -I "$DEB" >"$WORK/info"
for field in '^ Package: kcertadm$' "^ Version: $VERSION" '^ Depends:.*libc6' '^ Depends:.*libstdc++6' \
             '^ Recommends: bash-completion' ' shlibs *$'; do
  grep -q "$field" "$WORK/info" || fail "package information lacks $field"
done
grep -q '^ *;' "$WORK/info" && fail "the description holds list separators"
# ldconfig runs after installing, by a trigger or by the maintainer script.
{ dpkg-deb -I "$DEB" triggers; dpkg-deb -I "$DEB" postinst; } 2>/dev/null | grep -q ldconfig ||
  fail "ldconfig is not run after installing"

dpkg-deb -c "$DEB" >"$WORK/contents"
for path in ./usr/bin/kcertadm ./usr/include/kcertadm.h ./usr/lib/libkcertadm.so.$VERSION \
            ./usr/lib/cmake/kcertadm/kcertadmConfig.cmake ./usr/lib/cmake/kcertadm/kcertadmConfigVersion.cmake \
            ./usr/lib/pkgconfig/kcertadm.pc ./usr/lib/kcertadm/kmsglib.msg ./usr/lib/kcertadm/kmsglde.msg \
            ./usr/share/man/man1/kcertadm.1 ./usr/share/bash-completion/completions/kcertadm \
            ./usr/share/doc/kcertadm/README.md ./usr/share/doc/kcertadm/docs/commands.md; do
  grep -q " $path\( \|$\)" "$WORK/contents" || fail "package lacks $path"
done
grep -q " ./usr/lib/libkcertadm.so.0 -> " "$WORK/contents" || fail "package lacks the SONAME link"
! grep -q ' ./usr/local' "$WORK/contents" || fail "package installs under /usr/local"

# Unpacked into a scratch root, the tool runs and finds its catalogues.
dpkg-deb -x "$DEB" "$WORK/root"
out=$(cd "$WORK" && "$WORK/root/usr/bin/kcertadm" AdminSecurity)
[ "$out" = "30065: Key ring administration is available." ] || fail "unpacked tool printed \"$out\""
out=$(PKG_CONFIG_PATH=$WORK/root/usr/lib/pkgconfig pkg-config --variable=includedir kcertadm)
[ -f "$out/kcertadm.h" ] || fail "pkg-config includedir \"$out\" holds no header"
finish
