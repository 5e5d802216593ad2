#!/usr/bin/env bash
# Makes the real-DER samples of the ASN.1 tests with openssl, and the
# expected parts of each with Python's cryptography package:
#   certN.der       certificates (cert3 has a GeneralizedTime notAfter)
#   certN.tbs .subject .issuer .spki .sig   its parts, byte for byte
#   ber.der         signed CMS message in streaming (indefinite-length) BER
set -euo pipefail
cd "$(dirname "$0")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

openssl genrsa -out "$work/key.pem" 1024 2>/dev/null
openssl req -new -x509 -key "$work/key.pem" -subj "/C=US/O=Sample Org/CN=Sample Root" \
  -days 3650 -out "$work/cert1.pem"
openssl req -new -x509 -key "$work/key.pem" -subj "/CN=Second/emailAddress=a@example.com" \
  -days 30 -set_serial 0x80 -out "$work/cert2.pem"
openssl req -new -x509 -key "$work/key.pem" -subj "/CN=Far Future" -days 20000 \
  -out "$work/cert3.pem"
for i in 1 2 3; do openssl x509 -in "$work/cert$i.pem" -outform DER -out "cert$i.der"; done
printf 'sample\n' > "$work/msg"
openssl cms -sign -in "$work/msg" -signer "$work/cert1.pem" -inkey "$work/key.pem" \
  -outform DER -stream -out ber.der

/usr/bin/python3 - <<'PY'
from cryptography import x509
from cryptography.hazmat.primitives import serialization

def spki(key):
    return key.public_bytes(serialization.Encoding.DER,
                            serialization.PublicFormat.SubjectPublicKeyInfo)

for i in (1, 2, 3):
    c = x509.load_der_x509_certificate(open(f"cert{i}.der", "rb").read())
    parts = {"tbs": c.tbs_certificate_bytes, "subject": c.subject.public_bytes(),
             "issuer": c.issuer.public_bytes(), "spki": spki(c.public_key()),
             "sig": c.signature}
    for name, data in parts.items():
        open(f"cert{i}.{name}", "wb").write(data)
PY
