#!/bin/sh
# Keys and certificates of the certificate-service tests, made with the
# openssl command. Re-run from this directory to refresh them.
#   root      self-signed signing root (for enrolment and chains)
#   server    server key, certificate issued by root
#   orphan    server key, certificate issued by a root that is not kept
#   loopa/b   two certificates that name each other as issuer
#   client    the browser's key of the enrolment tests
set -eu
cd "$(dirname "$0")"
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT

key() { openssl genrsa -traditional -out "$1.pem" 1024 2>/dev/null; }
selfsigned() {  # name subject
  openssl req -new -x509 -key "$1.pem" -subj "$2" -days 7300 -md5 -out "$T/$1.crt"
  openssl x509 -in "$T/$1.crt" -outform DER -out "$1.der"
}
issued() {  # name subject issuer-cert issuer-key
  openssl req -new -key "$1.pem" -subj "$2" -out "$T/$1.csr"
  openssl x509 -req -in "$T/$1.csr" -CA "$3" -CAkey "$4" -set_serial 7 -days 3650 -md5 \
    -out "$T/$1.crt" 2>/dev/null
  openssl x509 -in "$T/$1.crt" -outform DER -out "$1.der"
}

for k in root server orphan loopa loopb client; do key $k; done
selfsigned root "/C=DE/O=Service Tests/CN=Service Root"
issued server "/C=DE/O=Service Tests/CN=server.example.org" "$T/root.crt" root.pem

openssl genrsa -out "$T/gone.pem" 1024 2>/dev/null
openssl req -new -x509 -key "$T/gone.pem" -subj "/CN=Vanished Root" -days 7300 -md5 \
  -out "$T/gone.crt"
issued orphan "/CN=orphan.example.org" "$T/gone.crt" "$T/gone.pem"

# loopa is issued by "Loop B" and loopb by "Loop A": neither is self-issued.
openssl req -new -x509 -key loopa.pem -subj "/CN=Loop A" -days 7300 -md5 -out "$T/seeda.crt"
openssl req -new -x509 -key loopb.pem -subj "/CN=Loop B" -days 7300 -md5 -out "$T/seedb.crt"
issued loopa "/CN=Loop A" "$T/seedb.crt" loopb.pem
issued loopb "/CN=Loop B" "$T/seeda.crt" loopa.pem
