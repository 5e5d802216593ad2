#!/usr/bin/env python3
"""Converts a certificate bundle between PEM blocks and DER back to back.

  cert_bundle.py to-der IN.pem OUT.der   every CERTIFICATE block of IN
  cert_bundle.py to-pem IN.der OUT.pem   every certificate of IN
"""
import base64
import re
import sys

BLOCK = re.compile(rb"-----BEGIN CERTIFICATE-----(.*?)-----END CERTIFICATE-----", re.S)


def der_elements(data):
    """Splits DER elements held back to back (definite lengths only)."""
    pos = 0
    while pos < len(data):
        if pos + 2 > len(data):
            raise ValueError("truncated element at %d" % pos)
        first = data[pos + 1]
        if first < 0x80:
            header, length = 2, first
        else:
            count = first & 0x7F
            if count == 0 or pos + 2 + count > len(data):
                raise ValueError("bad length at %d" % pos)
            header, length = 2 + count, int.from_bytes(data[pos + 2:pos + 2 + count], "big")
        end = pos + header + length
        if end > len(data):
            raise ValueError("truncated element at %d" % pos)
        yield data[pos:end]
        pos = end


def main(mode, source, target):
    with open(source, "rb") as f:
        data = f.read()
    if mode == "to-der":
        certificates = [base64.b64decode(b"".join(body.split())) for body in BLOCK.findall(data)]
        if not certificates:
            sys.exit("%s: no CERTIFICATE block" % source)
        out = b"".join(certificates)
    elif mode == "to-pem":
        out = b""
        for element in der_elements(data):
            text = base64.b64encode(element)
            lines = b"\n".join(text[i:i + 64] for i in range(0, len(text), 64))
            out += b"-----BEGIN CERTIFICATE-----\n" + lines + b"\n-----END CERTIFICATE-----\n"
    else:
        sys.exit(__doc__)
    with open(target, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
