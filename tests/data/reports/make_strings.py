"""Writes strings.der (a subject whose values use BMPString, T61String with
ISO 8859-1 octets, UTF8String and the other string types, issued and signed
by the root) and sequence.der (the root and the leaf as a certificate
sequence). Called by make_inputs.sh with the root's key, the root and the
leaf."""
import sys

from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import padding, rsa
from cryptography import x509

from der_build import der


def rdn(oid_hex, tag, value):
    return der(0x31, der(0x30, der(0x06, bytes.fromhex(oid_hex)) + der(tag, value)))


root_key_file, root_file, leaf_file = sys.argv[1:4]
root_key = serialization.load_pem_private_key(open(root_key_file, "rb").read(), None)
root = x509.load_der_x509_certificate(open(root_file, "rb").read())

subject = der(0x30, b"".join([
    rdn("550406", 0x13, b"DE"),
    rdn("550408", 0x1E, "Baden-W\u00fcrttemberg".encode("utf-16-be")),
    rdn("550407", 0x14, "M\u00fcnchen".encode("latin-1")),
    rdn("55040A", 0x0C, "Gr\u00fc\u00dfe & S\u00f6hne \u20ac GmbH".encode("utf-8")),
    rdn("55040B", 0x13, b"Entwicklung"),
    rdn("55040B", 0x1E, "\u00c4rger".encode("utf-16-be")),
    rdn("550405", 0x13, b"12345"),                       # serialNumber: no slot
    rdn("55040B", 0x0C, b"x" * 140),                     # longer than 128 bytes
    rdn("550403", 0x0C, "Stra\u00dfe \u65e5\u672c".encode("utf-8")),
    rdn("2A864886F70D010901", 0x16, b"info@example.de"),
]))

key = rsa.generate_private_key(public_exponent=65537, key_size=1024)
spki = key.public_key().public_bytes(serialization.Encoding.DER,
                                     serialization.PublicFormat.SubjectPublicKeyInfo)
sha1_rsa = der(0x30, der(0x06, bytes.fromhex("2A864886F70D010105")) + der(0x05, b""))
tbs = der(0x30, b"".join([
    der(0xA0, der(0x02, b"\x02")),
    der(0x02, bytes.fromhex("0123456789ABCDEF0123456789ABCDEF")),
    sha1_rsa,
    root.subject.public_bytes(),
    der(0x30, der(0x17, b"260228083015Z") + der(0x17, b"301231235959Z")),
    subject,
    spki,
]))
signature = root_key.sign(tbs, padding.PKCS1v15(), hashes.SHA1())
cert = der(0x30, tbs + sha1_rsa + der(0x03, b"\x00" + signature))
open("strings.der", "wb").write(cert)

certs = open(root_file, "rb").read() + open(leaf_file, "rb").read()
oid = bytes.fromhex("6086480186F8420205")
sequence = der(0x30, der(0x06, oid) + der(0xA0, der(0x30, certs)))
open("sequence.der", "wb").write(sequence)
