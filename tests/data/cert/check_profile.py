"""Describes the RFC 5280 profile of a certificate with an independent reader.

usage: check_profile.py CERT.der ISSUER.der

Prints one line per item, in a fixed order: the signature's digest and the
version, then each extension the library writes, or "none" for one that is
missing. The key identifiers are compared with the ones the reader computes
from the certificate's and the issuer's keys (RFC 5280 4.2.1.2 method 1);
the signature must verify under the issuer's key.
"""
import sys

from cryptography import x509
from cryptography.hazmat.primitives.asymmetric import padding
from cryptography.x509.oid import ExtendedKeyUsageOID


def extension(cert, kind):
    try:
        return cert.extensions.get_extension_for_class(kind)
    except x509.ExtensionNotFound:
        return None


def flag(ext):
    return "critical " if ext.critical else ""


def describe(cert, issuer):
    lines = [f"{cert.signature_hash_algorithm.name} {cert.version.name}"]
    bc = extension(cert, x509.BasicConstraints)
    lines.append(f"basicConstraints {flag(bc)}CA:{bc.value.ca}" if bc else "basicConstraints none")
    ku = extension(cert, x509.KeyUsage)
    if ku:
        names = ["digital_signature", "key_encipherment", "key_cert_sign", "crl_sign"]
        used = [n for n in names if getattr(ku.value, n)]
        lines.append(f"keyUsage {flag(ku)}" + ",".join(used))
    else:
        lines.append("keyUsage none")
    eku = extension(cert, x509.ExtendedKeyUsage)
    if eku:
        known = {ExtendedKeyUsageOID.SERVER_AUTH: "serverAuth", ExtendedKeyUsageOID.CLIENT_AUTH: "clientAuth"}
        lines.append("extendedKeyUsage " + ",".join(known.get(o, o.dotted_string) for o in eku.value))
    else:
        lines.append("extendedKeyUsage none")
    ski = extension(cert, x509.SubjectKeyIdentifier)
    own = x509.SubjectKeyIdentifier.from_public_key(cert.public_key()).digest
    lines.append("subjectKeyIdentifier " + ("matches" if ski and ski.value.digest == own else
                                            "none" if not ski else "differs"))
    aki = extension(cert, x509.AuthorityKeyIdentifier)
    theirs = x509.SubjectKeyIdentifier.from_public_key(issuer.public_key()).digest
    lines.append("authorityKeyIdentifier " + ("matches" if aki and aki.value.key_identifier == theirs else
                                              "none" if not aki else "differs"))
    san = extension(cert, x509.SubjectAlternativeName)
    if san:
        prefix = {x509.DNSName: "DNS", x509.IPAddress: "IP", x509.RFC822Name: "EMAIL",
                  x509.UniformResourceIdentifier: "URI"}
        lines.append(f"subjectAltName {flag(san)}" +
                     ",".join(f"{prefix[type(n)]}:{n.value}" for n in san.value))
    else:
        lines.append("subjectAltName none")
    return lines


def main():
    cert = x509.load_der_x509_certificate(open(sys.argv[1], "rb").read())
    issuer = x509.load_der_x509_certificate(open(sys.argv[2], "rb").read())
    issuer.public_key().verify(cert.signature, cert.tbs_certificate_bytes,
                               padding.PKCS1v15(), cert.signature_hash_algorithm)
    print("\n".join(describe(cert, issuer)))


main()
