#!/bin/sh
# Installs the build, runs the host program on openssl's requests and checks its output with openssl and python.
# usage: host_program.sh BUILD_DIR HOST_PROGRAM SERVICE_DATA_DIR
set -u
BUILD=$1 PROGRAM=$2 DATA=$3
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kcertadm-host.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$BUILD" --prefix "$WORK/prefix" >/dev/null || { echo "install failed"; exit 1; }
LIB=$(find "$WORK/prefix" -name 'libkcertadm.so.*' -type f | head -n 1)  # none: the host program fails to load it
unset KCERTADM_MSG_DIR HeronResLang

SPKAC=$(openssl spkac -key "$DATA/client.pem" -challenge "host challenge" -digest md5 | sed -n 's/^SPKAC=//p')
REQUEST=$(openssl req -new -key "$DATA/client.pem" -subj "/C=DE/CN=Host Request" -md5 -outform DER | openssl base64 -A)

# A sanitizer build (KCERTADM_SANITIZE set) checks memory by itself.
RUN=""
[ -z "${KCERTADM_SANITIZE:-}" ] && command -v valgrind >/dev/null 2>&1 && RUN="valgrind --quiet --leak-check=full \
  --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect --error-exitcode=99"
$RUN "$PROGRAM" "$LIB" "$WORK" "$SPKAC" "$REQUEST" || { echo "host program failed"; exit 1; }

cd "$WORK" || exit 1
openssl pkey -in "$DATA/client.pem" -pubout -outform DER -out client.spki
for pair in "client.der:CN=Host Client" "signed.der:CN=Host Request"; do
  out=$(/usr/bin/python3 "$DATA/check_issued.py" "${pair%%:*}" root.der client.spki) ||
    fail "${pair%%:*} does not verify under the root"
  case $out in *"${pair#*:}"*) ;; *) fail "${pair%%:*} names \"$out\"" ;; esac
done
for pair in "client.p7b:CN = Host Client" "enveloped.p7b:CN = Host Request"; do
  openssl pkcs7 -inform DER -in "${pair%%:*}" -print_certs -noout 2>/dev/null | grep -q "${pair#*:}" ||
    fail "openssl does not read ${pair%%:*}"
done
openssl pkey -inform DER -in server.p8 -check -noout >/dev/null 2>&1 || fail "openssl refuses the server's private key"
openssl pkey -inform DER -in server.p8 -pubout -outform DER -out derived.spki
cmp -s derived.spki server.spki || fail "the private key does not belong to the server's public key"
cmp -s server.der root.der || fail "the self-signed server certificate is not its own root"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "host program checks passed"
