#!/usr/bin/python3
# Writes cipher_vectors.txt: DES-CBC, triple-DES-CBC (EDE, three keys),
# RC2-CBC with several effective key lengths and RC4 over the pattern input
# byte[i] = (i * 7 + 3) % 251, from pycryptodome (an independent
# implementation). Run with Debian's /usr/bin/python3.
#
# Line format: algorithm key-hex iv-hex effective-bits length ciphertext-hex
# (iv "-" and effective-bits 0 where they do not apply).
from Cryptodome.Cipher import ARC2, ARC4, DES, DES3


def pattern(n):
    return bytes((i * 7 + 3) % 251 for i in range(n))


def key_bytes(n, seed):
    return bytes((seed + 31 * i + (i * i) % 7) % 256 for i in range(n))


LENGTHS = [8, 16, 24, 64, 128, 1000, 4096]


def main():
    rows = []
    iv = bytes.fromhex("0f1e2d3c4b5a6978")
    for seed in (1, 77):
        key = key_bytes(8, seed)
        for n in LENGTHS:
            ct = DES.new(key, DES.MODE_CBC, iv=iv).encrypt(pattern(n))
            rows.append(("des-cbc", key, iv, 0, n, ct))
        key3 = key_bytes(24, seed)
        for n in LENGTHS:
            ct = DES3.new(key3, DES3.MODE_CBC, iv=iv).encrypt(pattern(n))
            rows.append(("des-ede3-cbc", key3, iv, 0, n, ct))
    for key_len, bits in ((5, 40), (16, 128), (16, 64), (7, 1024), (128, 1024), (5, 41), (33, 129)):
        key = key_bytes(key_len, key_len)
        for n in (8, 64, 1000):
            ct = ARC2.new(key, ARC2.MODE_CBC, iv=iv, effective_keylen=bits).encrypt(pattern(n))
            rows.append(("rc2-cbc", key, iv, bits, n, ct))
    for key_len in (5, 16, 200, 256):
        key = key_bytes(key_len, 3)
        for n in (1, 17, 1000, 4096):
            ct = ARC4.new(key).encrypt(pattern(n))
            rows.append(("rc4", key, None, 0, n, ct))
    with open("cipher_vectors.txt", "w") as out:
        out.write("# algorithm key iv effective-bits length ciphertext; "
                  "plaintext byte[i] = (i * 7 + 3) % 251\n")
        for name, key, row_iv, bits, n, ct in rows:
            out.write(f"{name} {key.hex()} {row_iv.hex() if row_iv else '-'} {bits} {n} {ct.hex()}\n")


if __name__ == "__main__":
    main()
