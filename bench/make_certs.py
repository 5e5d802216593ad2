#!/usr/bin/python3
"""Certificates for the whole-process comparisons of bench/compare.sh.

Usage: make_certs.py OUT_DIR COUNT [SEED]

Writes into OUT_DIR:
  ca.key, ca.pem   an RSA-2048 authority (key unencrypted, PEM)
  bundle.der       COUNT certificates issued by it, DER, back to back
  bundle.pem       the same certificates as PEM blocks

Each certificate is signed with sha1WithRSAEncryption by the authority and
carries its own subject and its own 2048-bit RSA public key, so that every
one becomes an entry of its own in a key ring. The subject keys are random
odd 2048-bit numbers, not real keys: nothing reads them but the reports,
and making a thousand real key pairs would cost minutes.
"""
import datetime
import os
import random
import sys
import warnings

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.x509.oid import NameOID


def name(*parts):
    return x509.Name([x509.NameAttribute(oid, value) for oid, value in parts])


def main():
    # SHA-1 is what the key ring software signs with; the library warns about it.
    warnings.simplefilter("ignore")
    out_dir, count = sys.argv[1], int(sys.argv[2])
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 12)
    os.makedirs(out_dir, exist_ok=True)

    ca_key = rsa.generate_private_key(public_exponent=65537, key_size=2048)
    ca_name = name((NameOID.COUNTRY_NAME, "GB"), (NameOID.ORGANIZATION_NAME, "Bench Authority Ltd"),
                   (NameOID.ORGANIZATIONAL_UNIT_NAME, "Certification Services"),
                   (NameOID.COMMON_NAME, "Bench Authority Root"))
    start = datetime.datetime(2024, 1, 1)
    end = datetime.datetime(2049, 12, 31)
    ca = (x509.CertificateBuilder().subject_name(ca_name).issuer_name(ca_name)
          .public_key(ca_key.public_key()).serial_number(1)
          .not_valid_before(start).not_valid_after(end)
          .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
          .sign(ca_key, hashes.SHA1()))
    with open(os.path.join(out_dir, "ca.key"), "wb") as f:
        f.write(ca_key.private_bytes(serialization.Encoding.PEM,
                                     serialization.PrivateFormat.TraditionalOpenSSL,
                                     serialization.NoEncryption()))
    with open(os.path.join(out_dir, "ca.pem"), "wb") as f:
        f.write(ca.public_bytes(serialization.Encoding.PEM))

    usage = x509.KeyUsage(digital_signature=True, content_commitment=False, key_encipherment=True,
                          data_encipherment=False, key_agreement=False, key_cert_sign=False,
                          crl_sign=False, encipher_only=False, decipher_only=False)
    with open(os.path.join(out_dir, "bundle.der"), "wb") as der, \
         open(os.path.join(out_dir, "bundle.pem"), "wb") as pem:
        for i in range(count):
            modulus = rng.getrandbits(2048) | (1 << 2047) | 1
            key = rsa.RSAPublicNumbers(65537, modulus).public_key()
            subject = name((NameOID.COUNTRY_NAME, "GB"), (NameOID.ORGANIZATION_NAME, "Bench Subscribers"),
                           (NameOID.COMMON_NAME, "host%d.bench.example" % i))
            cert = (x509.CertificateBuilder().subject_name(subject).issuer_name(ca_name)
                    .public_key(key).serial_number(1000 + i)
                    .not_valid_before(start).not_valid_after(end)
                    .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
                    .add_extension(usage, critical=True)
                    .sign(ca_key, hashes.SHA1()))
            der.write(cert.public_bytes(serialization.Encoding.DER))
            pem.write(cert.public_bytes(serialization.Encoding.PEM))


if __name__ == "__main__":
    main()
