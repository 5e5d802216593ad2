#!/bin/sh
# Installs the build into a fresh prefix, makes a client's signed public key
# and challenge and a PKCS #10 request with openssl, lets the host program
# enrol them through the installed library, and checks what it wrote with
# openssl and an independent X.509 reader.
# usage: host_program.sh BUILD_DIR HOST_PROGRAM SERVICE_DATA_DIR
set -u
BUILD=$1
PROGRAM=$2
DATA=$3
PYTHON=/usr/bin/python3
failures=0
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kcertadm-host.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$BUILD" --prefix "$WORK/prefix" >/dev/null || { echo "install failed"; exit 1; }
LIB=$(find "$WORK/prefix" -name 'libkcertadm.so.*' -type f | head -n 1)
[ -n "$LIB" ] || { echo "library not installed"; exit 1; }
unset KCERTADM_MSG_DIR HeronResLang

SPKAC=$(openssl spkac -key "$DATA/client.pem" -challenge "host challenge" -digest md5 | sed -n 's/^SPKAC=//p')
REQUEST=$(openssl req -new -key "$DATA/client.pem" -subj "/C=DE/CN=Host Request" -md5 -outform DER |
  openssl base64 -A)

# A sanitizer build (KCERTADM_SANITIZE set) checks memory by itself.
if [ -z "${KCERTADM_SANITIZE:-}" ] && command -v valgrind >/dev/null 2>&1; then
  RUN="valgrind --quiet --leak-check=full --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect --error-exitcode=99"
else
  RUN=""
fi
$RUN "$PROGRAM" "$LIB" "$WORK" "$SPKAC" "$REQUEST"
status=$?
[ $status -eq 0 ] || fail "host program exited with $status"

if [ $status -eq 0 ]; then
  openssl pkey -in "$DATA/client.pem" -pubout -outform DER -out "$WORK/client.spki"
  out=$("$PYTHON" "$DATA/check_issued.py" "$WORK/client.der" "$WORK/root.der" "$WORK/client.spki") \
    || fail "the enrolled certificate does not verify under the root"
  case $out in *"CN=Host Client"*) ;; *) fail "enrolled subject is \"$out\"" ;; esac
  out=$("$PYTHON" "$DATA/check_issued.py" "$WORK/signed.der" "$WORK/root.der" "$WORK/client.spki") \
    || fail "the signed request's certificate does not verify under the root"
  case $out in *"CN=Host Request"*) ;; *) fail "signed subject is \"$out\"" ;; esac
  openssl pkcs7 -inform DER -in "$WORK/client.p7b" -print_certs -noout 2>/dev/null \
    | grep -q "CN = Host Client" || fail "openssl does not read the client's PKCS #7 package"
  openssl pkcs7 -inform DER -in "$WORK/enveloped.p7b" -print_certs -noout 2>/dev/null \
    | grep -q "CN = Host Request" || fail "openssl does not read the enveloped certificate"
  openssl pkey -inform DER -in "$WORK/server.p8" -check -noout >/dev/null 2>&1 \
    || fail "openssl refuses the server's private key"
  openssl pkey -inform DER -in "$WORK/server.p8" -pubout -outform DER -out "$WORK/derived.spki"
  cmp -s "$WORK/derived.spki" "$WORK/server.spki" \
    || fail "the private key does not belong to the server's public key"
  cmp -s "$WORK/server.der" "$WORK/root.der" \
    || fail "the self-signed server certificate is not its own root"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "host program checks passed"
