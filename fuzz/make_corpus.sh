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

# Certificates, requests and containers for the certificate target.
certs="$here/corpus/cert_fuzz"
mkdir -p "$certs"
cp "$der"/*.der "$certs/"
cp "$here"/../tests/data/cert/*.der "$here"/../tests/data/cert/*.p7b "$certs/" 2>/dev/null || true
cp "$here"/../tests/data/reports/*.der "$here"/../tests/data/reports/*.p7b "$certs/" 2>/dev/null || true

# The report target: the same certificates and the hostile ones of the
# report tests (hostile.pem), each as DER.
reports="$here/corpus/report_fuzz"
mkdir -p "$reports"
cp "$certs"/* "$reports/"
awk -v dir="$reports" '/^# /{name=$2} /^-----BEGIN CERTIFICATE-----/{body=""; inside=1; next}
  /^-----END/{if (inside) print body > (dir "/" name ".b64"); inside=0; next} inside{body=body $0}' \
  "$here"/../tests/data/reports/hostile.pem
for f in "$reports"/*.b64; do
  [ -f "$f" ] || continue
  base64 -d "$f" > "${f%.b64}.der" && rm "$f"
done

# Text files for the PEM readers: armoured objects, bare Base64 and a PEM
# certification request with its MIC.
pem="$here/corpus/pem_fuzz"
mkdir -p "$pem"
cp "$b64"/* "$pem/"
openssl req -new -key "$work/key.pem" -subj "/CN=seed request" -out "$pem/request.pem"
sed -e 's/CERTIFICATE REQUEST/NEW CERTIFICATE REQUEST/' "$pem/request.pem" > "$pem/request_new.pem"
{ sed -n '2,$p' "$work/cert.pem" | sed '$d' | tr -d '\n'; echo; } > "$pem/bare.b64"
# Chain files: two blocks with text around them, and a PKCS #7 bundle in PEM.
{ openssl x509 -in "$work/cert.pem" -text; cat "$work/cert.pem"; } > "$pem/chain.pem"
openssl crl2pkcs7 -nocrl -certfile "$work/cert.pem" -certfile "$work/cert.pem" -out "$pem/chain.p7b"
body="$(printf 'seed body\n' | base64 -w 64)"
sig="$(printf 'seed body\n' | openssl dgst -md5 -sign "$work/key.pem" | base64 -w 64)"
orig="$(openssl x509 -in "$work/cert.pem" -outform DER | base64 -w 64)"
{
  echo "-----BEGIN PRIVACY-ENHANCED MESSAGE-----"
  echo "Proc-Type: 4,MIC-ONLY"
  echo "Content-Domain: RFC822"
  echo "Originator-Certificate:"
  echo "$orig" | sed 's/^/ /'
  echo "MIC-Info: RSA-MD5,RSA,"
  echo "$sig" | sed 's/^/ /'
  echo
  echo "$body"
  echo "-----END PRIVACY-ENHANCED MESSAGE-----"
} > "$pem/mic_request.pem"

# Encrypted private keys, under the targets' password.
keys="$here/corpus/private_key_fuzz"
mkdir -p "$keys"
openssl pkcs8 -topk8 -in "$work/key.pem" -v1 PBE-MD5-DES -passout "pass:fuzz password" \
  -outform DER -out "$keys/pbe_md5_des.der" 2>/dev/null || true
openssl pkcs8 -topk8 -in "$work/key.pem" -v1 PBE-MD5-DES -passout "pass:" \
  -outform DER -out "$keys/empty_password.der" 2>/dev/null || true
cp "$der/pkcs8.der" "$keys/"

# Key files for the key file target: PKCS #12 as OpenSSL 3 and -legacy
# write it, without MAC and without encryption (so that mutations reach the
# bags), and PEM keys with their certificate, under the target's password.
keyfiles="$here/corpus/key_file_fuzz"
mkdir -p "$keyfiles"
p12() {  # NAME OPTIONS...
  local name="$1"
  shift
  openssl pkcs12 -export -in "$work/cert.pem" -inkey "$work/key.pem" -passout "pass:fuzz password" \
    -out "$keyfiles/$name.p12" "$@" 2>/dev/null || true
}
p12 default
p12 legacy -legacy
p12 plain -nomac -keypbe NONE -certpbe NONE
p12 nomac -nomac
openssl pkcs8 -topk8 -v2 aes-256-cbc -in "$work/key.pem" -passout "pass:fuzz password" \
  -out "$keyfiles/encrypted.pem" 2>/dev/null || true
cat "$work/cert.pem" >> "$keyfiles/encrypted.pem"
cat "$work/key.pem" "$work/cert.pem" > "$keyfiles/plain.pem"
find "$keyfiles" -type f -empty -delete

# Key rings made by the independent layout writer: the first byte is the
# target's mode (1: repair the checks; 3: and open with the password).
rings="$here/corpus/keyring_fuzz"
mkdir -p "$rings"
layout="$here/../tests/data/keyring/keyring_layout.py"
hex() { od -An -v -tx1 "$1" | tr -d ' \n'; }
spki="$(openssl x509 -in "$work/cert.pem" -pubkey -noout | openssl pkey -pubin -outform DER | od -An -v -tx1 | tr -d ' \n')"
make_ring() {  # NAME MODE PASSWORD LIST
  printf '%b' "$4" > "$work/list"
  /usr/bin/python3 "$layout" write "$work/ring" "$3" "$work/list" >/dev/null || return 0
  { printf "\\x$2"; cat "$work/ring"; } > "$rings/$1"
}
cert="$(hex "$der/selfsigned.der")"
key="$(hex "$keys/pbe_md5_des.der" 2>/dev/null || true)"
make_ring empty 01 - ""
make_ring root 01 - "entry 1 726f6f7400 - - $spki - $cert -\n"
make_ring protected 03 "fuzz password" "entry 0 6b657900 - 00112233 $spki ${key:--} $cert 0102\n"
make_ring two 03 "fuzz password" "entry 1 726f6f7400 - - $spki - $cert -\nentry 0 6b657900 - - - ${key:--} - -\n"
for f in "$here"/../tests/data/cert/*.der; do
  make_ring "cert_$(basename "$f" .der)" 01 - "entry 0 6300 - - - - $(hex "$f") -\n"
done

# The differential target gets certificates, requests and keys: each
# structure that more than one decoder reads.
differential="$here/corpus/der_differential_fuzz"
mkdir -p "$differential"
cp "$certs"/* "$differential/"
for f in "$keys"/*; do cp "$f" "$differential/key_$(basename "$f")"; done

# Parameter strings: the first byte chooses the command.
params="$here/corpus/params_fuzz"
mkdir -p "$params"
printf '\x01KeyFile=a.kyr;Password=pw;KeySize=1024;CommonName=Server;Org=Org;Country=US' > "$params/create"
printf '\x02KeyFile=a.kyr;Password=pw;CertFile=c.der;KeyName=label' > "$params/receive"
printf '\x07KeyFile=a.kyr;UseStash;EntriesFile=e.txt;ShowRawCert;WriteBER' > "$params/entries"
printf '\x0bKeyFile=a.kyr;Password=old;NewPassword=new;NoStashFile' > "$params/change"
printf '\x06CertReqFile=r.pem;CertFile=c.pem;ValidDays=-5;UsePEM' > "$params/sign"

echo "corpus: $(ls "$der" | wc -l) DER seeds, $(ls "$b64" | wc -l) Base64 seeds," \
     "$(ls "$certs" | wc -l) certificates, $(ls "$reports" | wc -l) for the reports, $(ls "$pem" | wc -l) texts, $(ls "$keys" | wc -l) keys, $(ls "$keyfiles" | wc -l) key files," \
     "$(ls "$rings" | wc -l) rings, $(ls "$params" | wc -l) parameter strings"
