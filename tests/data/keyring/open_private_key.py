#!/usr/bin/python3
"""Opens a PKCS #8 EncryptedPrivateKeyInfo made with pbeWithMD2AndDES-CBC,
independently of the library: open_private_key.py IN PASSWORD OUT writes
the PrivateKeyInfo DER to OUT. Exit status 1 when it does not open."""
import sys

from Cryptodome.Cipher import DES
from Cryptodome.Hash import MD2
from Cryptodome.Protocol.KDF import PBKDF1
from Cryptodome.Util.asn1 import DerSequence, DerOctetString, DerObjectId


def main(source, password, target):
    envelope = DerSequence().decode(open(source, "rb").read())
    algorithm = DerSequence().decode(envelope[0])
    if DerObjectId().decode(algorithm[0]).value != "1.2.840.113549.1.5.1":
        return 1
    parameter = DerSequence().decode(algorithm[1])
    salt = DerOctetString().decode(parameter[0]).payload
    iterations = parameter[1]
    data = DerOctetString().decode(envelope[1]).payload
    derived = PBKDF1(password.encode(), salt, 16, iterations, MD2)
    plain = DES.new(derived[:8], DES.MODE_CBC, iv=derived[8:]).decrypt(data)
    pad = plain[-1]
    if not 1 <= pad <= 8 or plain[-pad:] != bytes([pad]) * pad:
        return 1
    open(target, "wb").write(plain[:-pad])
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
