"""Writes hostile.pem: self-signed certificates (SHA-1, RSA 1024) whose
names, values, extensions and dates are the kind that break a report or
make it lie, each after a line "# <name>", and one certificate request with
an empty subject; and md5_1969.der and md5_1965.der, self-signed with MD5
(which the key ring's own verification takes), valid from 1969 and expired
in 1965. The DER is built here byte by byte, because the
certificate builders refuse most of these names. Run again only to replace
the file:
    cd tests/data/reports && /usr/bin/python3 make_hostile.py
"""
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import padding, rsa
import base64

from der_build import der


def oid(dotted):
    arcs = [int(a) for a in dotted.split(".")]
    out = bytes([40 * arcs[0] + arcs[1]])
    for arc in arcs[2:]:
        chunk = [arc & 0x7F]
        arc >>= 7
        while arc:
            chunk.insert(0, 0x80 | (arc & 0x7F))
            arc >>= 7
        out += bytes(chunk)
    return der(0x06, out)


def atv(dotted, tag, value):
    return der(0x30, oid(dotted) + der(tag, value))


def rdn(*members):
    return der(0x31, b"".join(members))


def name(*rdns):
    return der(0x30, b"".join(rdns))


CN, O, OU, C = "2.5.4.3", "2.5.4.10", "2.5.4.11", "2.5.4.6"
UTF8, PRINTABLE, IA5, T61, BMP = 0x0C, 0x13, 0x16, 0x14, 0x1E
NUMERIC, VISIBLE, UNIVERSAL = 0x12, 0x1A, 0x1C


def cn(text, tag=UTF8):
    return rdn(atv(CN, tag, text if isinstance(text, bytes) else text.encode()))


def utc(text):
    return der(0x17, text.encode())


def generalized(text):
    return der(0x18, text.encode())


EVERGREEN = der(0x30, utc("200101000000Z") + utc("491231235959Z"))
SINCE_1969 = der(0x30, utc("690101000000Z") + utc("491231235959Z"))


def extension(dotted, value, critical=False):
    flag = der(0x01, b"\xff") if critical else b""
    return der(0x30, oid(dotted) + flag + der(0x04, value))


def nested(depth):
    element = der(0x05, b"")
    for _ in range(depth):
        element = der(0x30, element)
    return element


def new_key():
    """A key of its own for every certificate: a key ring holds one entry per key."""
    key = rsa.generate_private_key(public_exponent=65537, key_size=1024)
    return key, key.public_key().public_bytes(serialization.Encoding.DER,
                                              serialization.PublicFormat.SubjectPublicKeyInfo)


sha1_rsa = der(0x30, oid("1.2.840.113549.1.1.5") + der(0x05, b""))
md5_rsa = der(0x30, oid("1.2.840.113549.1.1.4") + der(0x05, b""))
serial = [0x10]


def certificate(subject, validity=EVERGREEN, extensions=(), md5=False):
    serial[0] += 1
    key, spki = new_key()
    algorithm = md5_rsa if md5 else sha1_rsa
    parts = [der(0xA0, der(0x02, b"\x02")), der(0x02, bytes([serial[0]])), algorithm,
             subject, validity, subject, spki]
    if extensions:
        parts.append(der(0xA3, der(0x30, b"".join(extensions))))
    tbs = der(0x30, b"".join(parts))
    signature = key.sign(tbs, padding.PKCS1v15(), hashes.MD5() if md5 else hashes.SHA1())
    return der(0x30, tbs + algorithm + der(0x03, b"\x00" + signature))


def request(subject):
    key, spki = new_key()
    info = der(0x30, der(0x02, b"\x00") + subject + spki + der(0xA0, b""))
    signature = key.sign(info, padding.PKCS1v15(), hashes.SHA1())
    return der(0x30, info + sha1_rsa + der(0x03, b"\x00" + signature))


san = extension("2.5.29.17", der(0x30, der(0x82, b"www.example.com")))
certificates = [
    ("san_only", certificate(name(), extensions=[san])),
    ("empty_rdn", certificate(name(rdn(), cn("After an empty RDN")))),
    ("string_types", certificate(name(
        rdn(atv(CN, UNIVERSAL, "Univ\u00e9rsal \u65e5\u672c \U0001F600".encode("utf-32-be"))),
        rdn(atv(O, NUMERIC, b"0123 4567")),
        rdn(atv(OU, VISIBLE, b"Visible Unit")),
        rdn(atv("2.5.4.7", T61, "M\u00fcnchen".encode("latin-1"))),
        rdn(atv("2.5.4.8", BMP, "Gen\u00e8ve".encode("utf-16-be") + b"\x41"))))),
    ("forged_lines", certificate(name(
        cn("evil.example\nTrustedRoot: yes\nEntryLabel: bank"),
        rdn(atv(O, UTF8, b"Org\r\nPrivateKey: yes"))))),
    ("nul_cut", certificate(name(cn(b"www.bank.example\x00.evil.example", IA5)))),
    ("controls", certificate(name(
        cn(b"a\x1b[31mred\x7f \\ \xff\xfe \xe2\x80\xa8 \xe2\x80\xae gnp.exe"),
        rdn(atv(O, UTF8, "Caf\u00e9 \u00fcber".encode()))))),
    ("repeated", certificate(name(
        rdn(atv(C, PRINTABLE, b"US")),
        rdn(atv(O, UTF8, b"First Org")),
        rdn(atv(O, UTF8, b"Second Org")),
        rdn(atv(OU, UTF8, b"U1")), rdn(atv(OU, UTF8, b"U2")),
        rdn(atv(OU, UTF8, b"U3")), rdn(atv(OU, UTF8, b"U4")),
        rdn(atv("0.9.2342.19200300.100.1.25", IA5, b"example")),
        rdn(atv("0.9.2342.19200300.100.1.25", IA5, b"com")),
        rdn(atv("2.5.4.5", PRINTABLE, b"42")),
        rdn(atv("2.5.4.12", UTF8, b"Dr")),
        rdn(atv("2.5.4.42", UTF8, b"Ada")),
        rdn(atv("2.5.4.4", UTF8, b"Lovelace")),
        rdn(atv(CN, UTF8, b"first.example"),
            atv("0.9.2342.19200300.100.1.1", UTF8, b"ada")),
        rdn(atv(CN, UTF8, b"second.example")),
        rdn(atv("1.2.840.113549.1.9.2", IA5, b"unstructured"))))),
    ("non_string", certificate(name(
        cn("Values that are not strings"),
        rdn(atv("2.5.4.45", 0x04, b"\x01\x02")),
        rdn(der(0x30, oid("1.3.6.1.4.1.99999.1") + der(0x30, der(0x02, b"\x07"))))))),
    ("deep_nesting", certificate(name(cn("Deep extension")), extensions=[
        extension("2.5.29.99", nested(60)),
        extension("2.16.840.1.113730.1.13", nested(70))])),
    ("ca_no_pathlen", certificate(name(cn("CA without path length")), extensions=[
        extension("2.5.29.19", der(0x30, der(0x01, b"\xff")), critical=True)])),
    ("ca_pathlen_3", certificate(name(cn("CA with path length 3")), extensions=[
        extension("2.5.29.19", der(0x30, der(0x01, b"\xff") + der(0x02, b"\x03")), critical=True)])),
    ("policy_text", certificate(name(cn("Policy text")), extensions=[
        extension("2.5.29.32", der(0x30, der(0x30, oid("1.3.6.1.4.1.99999.2") + der(0x30,
            der(0x30, oid("1.3.6.1.5.5.7.2.1") + der(IA5, b"http://cps.example/\nTrustedRoot: yes")) +
            der(0x30, oid("1.3.6.1.5.5.7.2.2") + der(0x30,
                der(UTF8, b"line one\nEntryLabel: forged\x00cut")))))))])),
    ("bad_extension", certificate(name(cn("Unreadable extension")), extensions=[
        der(0x30, oid("2.5.29.15") + der(0x04, b"")),
        der(0x30, der(0x02, b"\x01")),
        extension("2.5.29.14", der(0x04, b"\x01\x02"))])),
    ("valid_from_1969", certificate(name(cn("Valid from 1969")), SINCE_1969)),
    ("expired_1965", certificate(name(cn("Expired in 1965")),
                                 der(0x30, utc("600101000000Z") + utc("651231235959Z")))),
    ("generalized_times", certificate(name(cn("GeneralizedTime")),
                                      der(0x30, generalized("19490101000000Z") +
                                          generalized("20550630235959Z")))),
    ("not_a_time", certificate(name(cn("Times that are not times")),
                               der(0x30, utc("69\n10100000Z") + der(0x04, b"\x01")))),
]

open("md5_1969.der", "wb").write(certificate(name(cn("MD5 valid from 1969")), SINCE_1969, md5=True))
open("md5_1965.der", "wb").write(certificate(
    name(cn("MD5 expired in 1965")), der(0x30, utc("600101000000Z") + utc("651231235959Z")), md5=True))

with open("hostile.pem", "w") as out:
    for label, cert in certificates:
        out.write("# %s\n-----BEGIN CERTIFICATE-----\n" % label)
        text = base64.b64encode(cert).decode()
        out.write("\n".join(text[i:i + 64] for i in range(0, len(text), 64)))
        out.write("\n-----END CERTIFICATE-----\n")
    text = base64.b64encode(request(name())).decode()
    out.write("# san_only_request\n-----BEGIN CERTIFICATE REQUEST-----\n")
    out.write("\n".join(text[i:i + 64] for i in range(0, len(text), 64)))
    out.write("\n-----END CERTIFICATE REQUEST-----\n")
