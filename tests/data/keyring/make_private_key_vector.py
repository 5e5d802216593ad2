#!/usr/bin/python3
"""Writes private_key_vector.txt: an RSA key, a password and salt, and the
PKCS #8 EncryptedPrivateKeyInfo (pbeWithMD2AndDES-CBC, 3 iterations) made
independently with pycryptodome.

Run with Debian's python: /usr/bin/python3 make_private_key_vector.py
"""
from Cryptodome.Cipher import DES
from Cryptodome.Hash import MD2, MD5
from Cryptodome.PublicKey import RSA
from Cryptodome.Protocol.KDF import PBKDF1
from Cryptodome.Util.asn1 import DerSequence, DerOctetString, DerObjectId, DerNull

PASSWORD = b"Vector password 1"
SALT = bytes.fromhex("0123456789abcdef")
ITERATIONS = 3


def numbers(key):
    return [key.n, key.e, key.d, key.p, key.q, key.d % (key.p - 1), key.d % (key.q - 1),
            pow(key.q, -1, key.p)]


def main():
    key = RSA.generate(1024, e=65537)
    values = numbers(key)
    rsa_private_key = DerSequence([0] + values).encode()
    algorithm = DerSequence([DerObjectId("1.2.840.113549.1.1.1").encode(), DerNull().encode()]).encode()
    private_key_info = DerSequence([0, algorithm, DerOctetString(rsa_private_key).encode()]).encode()

    derived = PBKDF1(PASSWORD, SALT, 16, ITERATIONS, MD2)
    pad = 8 - len(private_key_info) % 8
    cipher = DES.new(derived[:8], DES.MODE_CBC, iv=derived[8:])
    encrypted = cipher.encrypt(private_key_info + bytes([pad]) * pad)
    parameter = DerSequence([DerOctetString(SALT).encode(), ITERATIONS]).encode()
    pbe = DerSequence([DerObjectId("1.2.840.113549.1.5.1").encode(), parameter]).encode()
    encrypted_info = DerSequence([pbe, DerOctetString(encrypted).encode()]).encode()

    names = ["modulus", "publicExponent", "privateExponent", "prime1", "prime2", "exponent1",
             "exponent2", "coefficient"]
    with open("private_key_vector.txt", "w") as out:
        out.write("password %s\n" % PASSWORD.decode())
        out.write("salt %s\n" % SALT.hex())
        for name, value in zip(names, values):
            out.write("%s %s\n" % (name, value.to_bytes((value.bit_length() + 7) // 8, "big").hex()))
        out.write("privateKeyInfo %s\n" % private_key_info.hex())
        out.write("encrypted %s\n" % encrypted_info.hex())
        # Protected data: pbeWithMD5AndDES-CBC, fixed salt, 7 iterations, the
        # password with its terminating zero byte as the key.
        for data in (b"", b"protected data of an entry"):
            derived = PBKDF1(PASSWORD + b"\0", b"QbQbQbQb", 16, 7, MD5)
            pad = 8 - len(data) % 8
            sealed = DES.new(derived[:8], DES.MODE_CBC, iv=derived[8:]).encrypt(data + bytes([pad]) * pad)
            out.write("protected %s %s\n" % (data.hex() or "-", sealed.hex()))


if __name__ == "__main__":
    main()
