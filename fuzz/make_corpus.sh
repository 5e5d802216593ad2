#!/usr/bin/env bash
# Makes the seed corpora in fuzz/corpus/ (not kept in git): DER from the
# machine's CA certificates, and requests, keys, PKCS #7 and BER made here
# by openssl; the Base64 target gets the same objects as PEM text.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
der="$here/corpus/asn1_reader_fuzz"
b64="$here/corpus/base64_fuzz"
mkdir -p "$der" "$b64"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

n=0
for pem in /etc/ssl/certs/*.pem; do
  [ -f "$pem" ] || continue
  openssl x509 -in "$pem" -outform DER -out "$der/ca$n.der" 2>/dev/null || continue
  cp "$pem" "$b64/ca$n.pem"
  n=$((n + 1))
  [ "$n" -lt 12 ] || break
done

openssl genrsa -out "$work/key.pem" 1024 2>/dev/null
openssl rsa -in "$work/key.pem" -outform DER -out "$der/rsakey.der" 2>/dev/null
openssl pkcs8 -topk8 -in "$work/key.pem" -v1 PBE-MD5-DES -passout pass:secret \
  -outform DER -out "$der/pkcs8.der" 2>/dev/null || \
  openssl pkcs8 -topk8 -in "$work/key.pem" -passout pass:secret -outform DER -out "$der/pkcs8.der"
openssl req -new -key "$work/key.pem" -subj "/C=US/O=Fuzz/CN=seed" -outform DER \
  -out "$der/req.der"
openssl req -new -x509 -key "$work/key.pem" -subj "/CN=seed root" -days 30 -md5 \
  -out "$work/cert.pem" 2>/dev/null || \
  openssl req -new -x509 -key "$work/key.pem" -subj "/CN=seed root" -days 30 -out "$work/cert.pem"
openssl x509 -in "$work/cert.pem" -outform DER -out "$der/selfsigned.der"
cp "$work/cert.pem" "$b64/selfsigned.pem"
openssl crl2pkcs7 -nocrl -certfile "$work/cert.pem" -outform DER -out "$der/pkcs7.der"
printf 'seed message\n' > "$work/msg"
# Streaming CMS output uses indefinite lengths.
openssl cms -sign -in "$work/msg" -signer "$work/cert.pem" -inkey "$work/key.pem" \
  -outform DER -stream -out "$der/ber_indefinite.der" 2>/dev/null || true
find "$der" -type f -empty -delete
for f in "$der"/*.der; do
  base64 -w 64 "$f" > "$b64/$(basename "$f" .der).b64"
done
echo "corpus: $(ls "$der" | wc -l) DER seeds, $(ls "$b64" | wc -l) Base64 seeds"
