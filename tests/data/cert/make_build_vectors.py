#!/usr/bin/python3
"""Builds, independently of the library, the request and self-signed
certificate that the building tests expect byte for byte: the fixed key of
vector_key.pem, a fixed subject and the fixed time 2026-12-04 16:03:00 UTC.
Run with Debian's python (pycryptodome installed as Cryptodome)."""
import os

from Cryptodome.Hash import MD5
from Cryptodome.PublicKey import RSA
from Cryptodome.Signature import pkcs1_15

HERE = os.path.dirname(os.path.abspath(__file__))
NOW = 1796400180
SERIAL = 1796400180  # the serial number the tests hand the builder
VALID_DAYS = 365


def tlv(tag, content):
    n = len(content)
    if n < 0x80:
        head = bytes([n])
    elif n < 0x100:
        head = bytes([0x81, n])
    elif n < 0x10000:
        head = bytes([0x82, n >> 8, n & 0xFF])
    else:
        raise ValueError("too long")
    return bytes([tag]) + head + content


def integer(value):
    body = value.to_bytes((value.bit_length() + 8) // 8 or 1, "big")
    return tlv(0x02, body)


def seq(*parts):
    return tlv(0x30, b"".join(parts))


def oid(octets):
    return tlv(0x06, bytes(octets))


NULL = b"\x05\x00"
RSA_ENCRYPTION = [0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01]
MD5_WITH_RSA = [0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x04]


def rdn(attr_oid, tag, text):
    return tlv(0x31, seq(oid(attr_oid), tlv(tag, text)))


# The subject of the tests, slot by slot, in the types the library chooses
# with the default international type (UTF8String).
SUBJECT = seq(
    rdn([0x55, 0x04, 0x06], 0x13, b"DE"),
    rdn([0x55, 0x04, 0x08], 0x13, b"Bayern"),
    rdn([0x55, 0x04, 0x07], 0x0C, "München".encode("utf-8")),
    rdn([0x55, 0x04, 0x0A], 0x13, b"Vector Org"),
    rdn([0x55, 0x04, 0x0B], 0x13, b"Unit"),
    rdn([0x55, 0x04, 0x03], 0x13, b"vector.example.org"),
    rdn([0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x01], 0x16, b"joe@example.org"),
)


def main():
    with open(os.path.join(HERE, "vector_key.pem"), "rb") as f:
        key = RSA.import_key(f.read())
    spki = seq(seq(oid(RSA_ENCRYPTION), NULL),
               tlv(0x03, b"\x00" + seq(integer(key.n), integer(key.e))))
    md5_alg = seq(oid(MD5_WITH_RSA), NULL)

    def signed(tbs):
        signature = pkcs1_15.new(key).sign(MD5.new(tbs))
        return seq(tbs, md5_alg, tlv(0x03, b"\x00" + signature))

    request_info = seq(integer(0), SUBJECT, spki, b"\xA0\x00")
    with open(os.path.join(HERE, "built_request.der"), "wb") as f:
        f.write(signed(request_info))

    # notBefore: the date twelve hours back at 00:00:00; notAfter: that date
    # plus the valid days at 23:59:00.
    import datetime
    start = datetime.datetime.fromtimestamp(NOW - 43200, datetime.timezone.utc)
    end = start + datetime.timedelta(days=VALID_DAYS)
    validity = seq(tlv(0x17, start.strftime("%y%m%d000000Z").encode()),
                   tlv(0x17, end.strftime("%y%m%d235900Z").encode()))
    tbs = seq(tlv(0xA0, integer(2)), integer(SERIAL), md5_alg, SUBJECT, validity, SUBJECT, spki)
    with open(os.path.join(HERE, "built_self_signed.der"), "wb") as f:
        f.write(signed(tbs))


if __name__ == "__main__":
    main()
