"""Checks a certificate issued by the library with an independent reader.

usage: check_issued.py CERT.der SIGNER.der SUBJECT_SPKI.der

The certificate's signature must verify under the signer certificate's key,
its issuer must be the signer's subject, and its key must be the given
SubjectPublicKeyInfo. Prints the subject in RFC 4514 form.
"""
import sys

from cryptography import x509
from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric import padding


def main():
    cert = x509.load_der_x509_certificate(open(sys.argv[1], "rb").read())
    signer = x509.load_der_x509_certificate(open(sys.argv[2], "rb").read())
    spki = open(sys.argv[3], "rb").read()
    signer.public_key().verify(cert.signature, cert.tbs_certificate_bytes,
                               padding.PKCS1v15(), cert.signature_hash_algorithm)
    if cert.issuer != signer.subject:
        sys.exit("issuer is not the signer's subject")
    key = cert.public_key().public_bytes(serialization.Encoding.DER,
                                         serialization.PublicFormat.SubjectPublicKeyInfo)
    if key != spki:
        sys.exit("the certificate's key is not the request's")
    print(cert.subject.rfc4514_string())


main()
