#!/usr/bin/python3
"""Independent model of the key generator, written from its description.

Writes keygen_vectors.txt: for several modulus sizes, the key that the
generator must produce when its random bytes come from the 64-bit LCG
below (state = state * 6364136223846793005 + 1442695040888963407 mod 2^64,
each byte the top 8 bits of the new state; first state = the seed).
Fields: bits seed attempts prime1 prime2 modulus d exponent1 exponent2
coefficient (hex).
"""
import math

E = 65537
MASK = (1 << 64) - 1


class Lcg:
    def __init__(self, seed):
        self.state = seed

    def take(self, n):
        out = bytearray()
        for _ in range(n):
            self.state = (self.state * 6364136223846793005 + 1442695040888963407) & MASK
            out.append(self.state >> 56)
        return bytes(out)


def odd_primes_below(limit):
    flags = bytearray([1]) * limit
    flags[0] = flags[1] = 0
    for i in range(2, int(limit ** 0.5) + 1):
        if flags[i]:
            flags[i * i::i] = bytearray(len(flags[i * i::i]))
    return [i for i in range(3, limit) if flags[i]]


SIEVE = odd_primes_below(3 + 126 * 512)
assert len(SIEVE) == 6453


def find_prime(b, bits):
    n_bytes = ((bits + 15) // 16) * 2
    x = 0
    for i in range(n_bytes // 2):
        x += (b[2 * i] * 256 + b[2 * i + 1]) << (16 * i)
    x |= 1 << (bits - 2)
    x |= 1 << (bits - 1)
    top = min(((bits + 7) // 8) * 8 + 8, x.bit_length())
    for i in range(bits, top):
        x &= ~(1 << i)
    x |= 1
    flags = [False] * 500
    for r in SIEVE:
        t = x % r
        if t == 0:
            k = 0
        elif t % 2:
            k = (r - t) // 2
        else:
            k = r - t // 2
        while k < 500:
            flags[k] = True
            k += r
    for k in range(500):
        if flags[k]:
            continue
        c = x + 2 * k
        if math.gcd(E, c - 1) != 1:
            continue
        if all(pow(a, c, c) == a for a in (3, 5, 7, 11)):
            return c
    return None


def generate(bits, seed):
    rng = Lcg(seed)
    r_bytes = ((bits + 1) // 32) * 4 + 4
    p_bits = (bits + 1) // 2
    q_bits = bits - p_bits
    q_off = ((p_bits // 8) & ~1) + 2
    attempts = 0
    while True:
        attempts += 1
        b = rng.take(r_bytes)
        p = find_prime(b, p_bits)
        if p is None:
            continue
        q = find_prime(b[q_off:], q_bits)
        if q is None:
            continue
        if p <= q:
            p, q = q, p
        phi = (p - 1) * (q - 1)
        d = pow(E, -1, phi)
        return attempts, p, q, p * q, d, d % (p - 1), d % (q - 1), pow(q, -1, p)


with open("keygen_vectors.txt", "w") as f:
    for bits, seed in [(256, 1), (257, 2), (384, 3), (512, 4), (1023, 5),
                       (1024, 6), (2048, 7)]:
        attempts, *vals = generate(bits, seed)
        assert vals[2].bit_length() == bits
        f.write(" ".join([str(bits), str(seed), str(attempts)] +
                         [format(v, "x") for v in vals]) + "\n")
