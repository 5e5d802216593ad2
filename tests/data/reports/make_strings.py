"""Writes strings.der (names in BMPString, T61String, UTF8String and the
other string types, issued by the root) and sequence.der (the root and the
leaf as a certificate sequence). Called by make_inputs.sh."""
import datetime
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.x509.name import _ASN1Type
from cryptography.x509.oid import NameOID

root_key_file, root_file, leaf_file = sys.argv[1:4]
root_key = serialization.load_pem_private_key(open(root_key_file, "rb").read(), None)
root = x509.load_der_x509_certificate(open(root_file, "rb").read())


def attr(oid, value, kind):
    return x509.NameAttribute(oid, value, _type=kind)


subject = x509.Name([
    attr(NameOID.COUNTRY_NAME, "DE", _ASN1Type.PrintableString),
    attr(NameOID.STATE_OR_PROVINCE_NAME, "Baden-W\u00fcrttemberg", _ASN1Type.BMPString),
    attr(NameOID.LOCALITY_NAME, "M\u00fcnchen", _ASN1Type.T61String),
    attr(NameOID.ORGANIZATION_NAME, "Gr\u00fc\u00dfe & S\u00f6hne \u20ac GmbH", _ASN1Type.UTF8String),
    attr(NameOID.ORGANIZATIONAL_UNIT_NAME, "Entwicklung", _ASN1Type.PrintableString),
    attr(NameOID.ORGANIZATIONAL_UNIT_NAME, "\u00c4rger", _ASN1Type.BMPString),
    attr(NameOID.SERIAL_NUMBER, "12345", _ASN1Type.PrintableString),
    attr(NameOID.ORGANIZATIONAL_UNIT_NAME, "x" * 140, _ASN1Type.UTF8String),
    attr(NameOID.COMMON_NAME, "Stra\u00dfe \u65e5\u672c", _ASN1Type.UTF8String),
    attr(NameOID.EMAIL_ADDRESS, "info@example.de", _ASN1Type.IA5String),
])
key = rsa.generate_private_key(public_exponent=65537, key_size=1024)
cert = (x509.CertificateBuilder()
        .subject_name(subject)
        .issuer_name(root.subject)
        .public_key(key.public_key())
        .serial_number(0x0123456789ABCDEF0123456789ABCDEF)
        .not_valid_before(datetime.datetime(2026, 2, 28, 8, 30, 15))
        .not_valid_after(datetime.datetime(2030, 12, 31, 23, 59, 59))
        .sign(root_key, hashes.SHA1()))
open("strings.der", "wb").write(cert.public_bytes(serialization.Encoding.DER))


def der(tag, content):
    n = len(content)
    if n < 0x80:
        head = bytes([n])
    else:
        octets = n.to_bytes((n.bit_length() + 7) // 8, "big")
        head = bytes([0x80 | len(octets)]) + octets
    return bytes([tag]) + head + content


certs = open(root_file, "rb").read() + open(leaf_file, "rb").read()
oid = bytes.fromhex("6086480186F8420205")
sequence = der(0x30, der(0x06, oid) + der(0xA0, der(0x30, certs)))
open("sequence.der", "wb").write(sequence)
