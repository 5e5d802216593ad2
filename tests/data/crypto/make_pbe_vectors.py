#!/usr/bin/python3
# Writes pbe_vectors.txt: PKCS #5 v1.5 pbeWithMD5AndDES-CBC (PBKDF1 with MD5
# gives the DES key and IV, DES-CBC with PKCS #5 padding) from pycryptodome.
# Run with Debian's /usr/bin/python3.
#
# Line format: password-hex salt-hex iterations plaintext-length ciphertext-hex
# with plaintext byte[i] = (i * 7 + 3) % 251.
from Cryptodome.Cipher import DES
from Cryptodome.Hash import MD5
from Cryptodome.Protocol.KDF import PBKDF1
from Cryptodome.Util.Padding import pad


def pattern(n):
    return bytes((i * 7 + 3) % 251 for i in range(n))


CASES = [
    (b"secret\0", b"QbQbQbQb", 7, [0, 1, 7, 8, 9, 16, 100, 1000]),
    (b"abc\0", b"QbQbQbQb", 7, [8]),
    (b"abc", b"QbQbQbQb", 7, [8]),
    (b"", b"\x00\x01\x02\x03\x04\x05\x06\x07", 1, [5]),
    (b"a much longer pass phrase, longer than one MD5 block of sixty-four bytes\0",
     b"\xff\xee\xdd\xcc\xbb\xaa\x99\x88", 1000, [33]),
]


def main():
    with open("pbe_vectors.txt", "w") as out:
        out.write("# password salt iterations length ciphertext; plaintext byte[i] = (i * 7 + 3) % 251\n")
        for password, salt, count, lengths in CASES:
            derived = PBKDF1(password, salt, 16, count=count, hashAlgo=MD5)
            for n in lengths:
                cipher = DES.new(derived[:8], DES.MODE_CBC, iv=derived[8:])
                ct = cipher.encrypt(pad(pattern(n), 8))
                out.write(f"{password.hex() or '-'} {salt.hex()} {count} {n} {ct.hex()}\n")


if __name__ == "__main__":
    main()
