#!/bin/sh
# Regenerates the certificate test vectors with the openssl command. The
# outputs are committed; the tests do not run this script.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A fixed 1024-bit key for every vector made here.
[ -f vector_key.pem ] || openssl genrsa -traditional -out vector_key.pem 1024 2>/dev/null

# Version 3 CA with extensions, one of them critical.
cat > "$tmp/ca.cnf" <<'CNF'
[req]
distinguished_name = dn
prompt = no
[dn]
C = DE
ST = Bayern
L = Muenchen
O = Vector CA
0.OU = One
1.OU = Two
CN = Vector Root
emailAddress = root@example.org
[v3]
basicConstraints = critical,CA:TRUE,pathlen:3
keyUsage = keyCertSign, cRLSign
subjectKeyIdentifier = hash
CNF
openssl req -new -x509 -key vector_key.pem -config "$tmp/ca.cnf" -extensions v3 \
  -md5 -days 3650 -set_serial 4660 -outform DER -out v3_ca.der

# Version 1 certificate (no extensions) with a UTF8String subject.
openssl req -new -key vector_key.pem -utf8 -subj "$(printf "/CN=Z\303\274rich leaf/O=Test")" \
  -out "$tmp/leaf.csr"
openssl x509 -req -in "$tmp/leaf.csr" -CA v3_ca.der -CAform DER -CAkey vector_key.pem \
  -set_serial 0x0102030405060708090A -days 30 -sha1 -outform DER -out v1_leaf.der 2>/dev/null
openssl x509 -inform DER -in v3_ca.der -out vector_ca.pem

# A request with an extension request attribute.
openssl req -new -key vector_key.pem -subj "/C=US/CN=Request/emailAddress=r@example.com" \
  -addext "subjectAltName=DNS:example.com" -md5 -outform DER -out request.der

