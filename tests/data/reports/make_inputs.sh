#!/bin/sh
# Makes the certificate and request inputs of the report tests with the
# openssl command (and Debian's python for the name-string certificate and
# the certificate sequence). The outputs, and the root's test key that signs
# the name-string certificate, are committed; run again only to replace them:
#   cd tests/data/reports && sh make_inputs.sh
set -eu
WORK=$(mktemp -d)
export WORK
trap 'rm -rf "$WORK"' EXIT
: > "$WORK/index.txt"
echo 01 > "$WORK/serial"
CNF=inputs.cnf

ca() {  # ca <request> <out> <issuer cert> <issuer key> <extensions> <start> <end> [extra]
  openssl ca -batch -config "$CNF" -notext -in "$1" -out "$WORK/out.pem" \
    -cert "$3" -keyfile "$4" -extensions "$5" -startdate "$6" -enddate "$7" ${8:-} \
    2>/dev/null
  openssl x509 -in "$WORK/out.pem" -outform DER -out "$2"
}

# A self-issued root, SHA-1, serial 01, UTCTime dates.
openssl req -new -newkey rsa:1024 -nodes -keyout "$WORK/root.key" -config "$CNF" \
  -subj "/C=US/ST=California/L=San Jose/O=Example Root Org/OU=Certification/CN=Example Root CA" \
  -out "$WORK/root.csr" 2>/dev/null
openssl ca -batch -config "$CNF" -selfsign -notext -in "$WORK/root.csr" -out "$WORK/root.pem" \
  -keyfile "$WORK/root.key" -extensions root_ext -startdate 260101000000Z \
  -enddate 460101000000Z 2>/dev/null
openssl x509 -in "$WORK/root.pem" -outform DER -out root.der
openssl x509 -in root.der -inform DER -outform PEM -out root.pem

# A chained CA certificate carrying the extension families, issued by the
# root; its end date is a GeneralizedTime.
openssl req -new -newkey rsa:1024 -nodes -keyout "$WORK/chained.key" -config "$CNF" \
  -subj "/C=US/O=Example Org/OU=Operations/OU=Web/CN=Example Chained CA/emailAddress=ops@example.com" \
  -out "$WORK/chained.csr" 2>/dev/null
ca "$WORK/chained.csr" chained.der "$WORK/root.pem" "$WORK/root.key" chained_ext \
  260315120000Z 20550630235959Z
openssl x509 -in chained.der -inform DER -out "$WORK/chained.pem"

# An end-entity certificate issued by the chained CA, SHA-256.
openssl req -new -newkey rsa:1024 -nodes -keyout "$WORK/leaf.key" -config "$CNF" \
  -subj "/C=GB/L=London/CN=leaf.example.com" -out "$WORK/leaf.csr" 2>/dev/null
ca "$WORK/leaf.csr" leaf.der "$WORK/chained.pem" "$WORK/chained.key" leaf_ext \
  260401000000Z 270401000000Z "-md sha256"

# The three as a PKCS #7 certificates-only bundle.
cat "$WORK/root.pem" "$WORK/chained.pem" > "$WORK/bundle.pem"
openssl x509 -in leaf.der -inform DER >> "$WORK/bundle.pem"
openssl crl2pkcs7 -nocrl -certfile "$WORK/bundle.pem" -outform DER -out bundle.p7b

# A request with a challenge password and requested extensions, SHA-1.
openssl req -new -newkey rsa:1024 -nodes -keyout "$WORK/request.key" -config "$CNF" \
  -section request_req -sha1 -reqexts request_ext -out request.pem 2>/dev/null
openssl req -in request.pem -outform DER -out request.der

# A certificate whose names use BMPString, T61String and UTF8String, and the
# root and leaf as a certificate sequence.
cp "$WORK/root.key" root.key
/usr/bin/python3 make_strings.py root.key root.der leaf.der
