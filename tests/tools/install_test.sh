#!/bin/sh
# Installs the build into a fresh prefix and runs what was installed, with
# no setting that points at the catalogues.
# usage: install_test.sh BUILD_DIR C_INTERFACE_CHECK
set -u
BUILD=$1
CHECK=$2
failures=0
PREFIX=$(mktemp -d "${TMPDIR:-/tmp}/kcertadm-prefix.XXXXXX")
trap 'rm -rf "$PREFIX"' EXIT
unset HeronResLang KCERTADM_MSG_DIR

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null || { echo "install failed"; exit 1; }

[ -f "$PREFIX/include/kcertadm.h" ] || fail "header not installed"
LIB=$(find "$PREFIX" -name 'libkcertadm.so*' -type f | head -n 1)
[ -n "$LIB" ] || fail "library not installed"
LIBDIR=$(dirname "$LIB")
[ -f "$LIBDIR/kcertadm/kmsglib.msg" ] || fail "English catalogue not beside the library"
[ -f "$LIBDIR/kcertadm/kmsglde.msg" ] || fail "German catalogue not beside the library"

cd "$PREFIX"
out=$("$PREFIX/bin/kcertadm" AdminSecurity)
[ $? -eq 0 ] || fail "installed kcertadm AdminSecurity failed"
case $out in
  "30065: "?*) ;;
  *) fail "installed kcertadm printed \"$out\"" ;;
esac
out=$("$PREFIX/bin/kcertadm" NoSuchCommand)
[ $? -eq 1 ] || fail "unknown command did not exit 1"
case $out in "30001: "?*) ;; *) fail "unknown command printed \"$out\"" ;; esac
out=$(HeronResLang=de "$PREFIX/bin/kcertadm" AdminSecurity)
case $out in "30065: Die "*) ;; *) fail "German text missing: \"$out\"" ;; esac

# The installed copy is the one read: mark it and look for the mark, from
# the tool and from the installed shared library.
sed -i 's/^30065 .*/30065 Installed catalogue./' "$LIBDIR/kcertadm/kmsglib.msg"
out=$("$PREFIX/bin/kcertadm" AdminSecurity)
[ "$out" = "30065: Installed catalogue." ] || fail "tool did not read the installed catalogue: \"$out\""
out=$(LD_LIBRARY_PATH="$LIBDIR" "$CHECK" AdminSecurity)
[ "$out" = "0 Installed catalogue." ] || fail "library did not read the installed catalogue: \"$out\""
# Exactly the functions of the header are visible, all of them code.
EXPECTED="Base64Decode Base64Encode BMPToHCSET EnvelopeCert FreeCertData FreeExtKeyData
GetCertDN GetKeyData GetServerKey GetServerRootCert GetTextDates InitSecLib PackagePKCS7Cert
ParseCert ParseCertReq ParseDNSeq ProcessClientCertReq ProcessSecurityCmd ReadCert
SignCertificate SignClientCert T61ToHCSET"
expected=$(printf '%s\n' $EXPECTED | LC_ALL=C sort)
exported=$(nm -D --defined-only "$LIB" | awk '{print $NF}' | LC_ALL=C sort)
[ "$exported" = "$expected" ] || fail "exported symbols differ: $(printf '%s\n' "$exported" | tr '\n' ' ')"
functions=$(nm -D --defined-only "$LIB" | awk '$2 == "T" {print $3}' | LC_ALL=C sort)
[ "$functions" = "$expected" ] || fail "an export is not a function"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "install checks passed"
