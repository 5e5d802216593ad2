#!/usr/bin/python3
"""Writes vectors.txt: big-number results computed with Python integers.

Each line: operation a b c expected (hex, "-" where unused). Operations:
mul a*b, divmod a//b and a%b (expected "q:r"), gcd, inv a^-1 mod b ("none"
when there is none), exp a^b mod c, add a+b, sub a-b (a >= b).
"""
import math
import random

rng = random.Random(20261206)


def rand_bits(bits):
    if bits == 0:
        return 0
    return rng.getrandbits(bits) | (1 << (bits - 1))


def special(bits):
    """Values with long runs of ones or zeros, hard for carries."""
    kind = rng.randrange(4)
    if kind == 0:
        return (1 << bits) - 1
    if kind == 1:
        return 1 << (bits - 1)
    if kind == 2:
        return (((1 << bits) - 1) ^ (1 << rng.randrange(bits))) or 1
    return rand_bits(bits)


def h(x):
    return format(x, "x")


lines = []
sizes = [1, 63, 64, 65, 127, 128, 129, 191, 256, 511, 512, 1023, 1024, 2048]
for a_bits in sizes:
    for b_bits in sizes:
        a, b = special(a_bits), special(b_bits)
        lines.append(f"mul {h(a)} {h(b)} - {h(a * b)}")
        lines.append(f"divmod {h(a)} {h(b)} - {h(a // b)}:{h(a % b)}")
        lines.append(f"gcd {h(a)} {h(b)} - {h(math.gcd(a, b))}")
# Division where the quotient estimate needs correcting: divisors with a
# top limb of all ones and dividends just below multiples of them.
for _ in range(40):
    nb = rng.choice([2, 3, 4, 8])
    b = ((1 << 64) - 1) << (64 * (nb - 1)) | rng.getrandbits(64 * (nb - 1))
    q = rng.getrandbits(64 * rng.choice([1, 2, 3]))
    a = b * q + rng.choice([0, 1, b - 1])
    lines.append(f"divmod {h(a)} {h(b)} - {h(a // b)}:{h(a % b)}")
for bits in [64, 128, 512, 1024, 2048]:
    for _ in range(4):
        m = rand_bits(bits)
        a = rng.randrange(1, m)
        try:
            inv = pow(a, -1, m)
            lines.append(f"inv {h(a)} {h(m)} - {h(inv)}")
        except ValueError:
            lines.append(f"inv {h(a)} {h(m)} - none")
    m = rand_bits(bits) & ~1
    lines.append(f"inv {h(m // 2 * 2 if m > 2 else 2)} {h(m)} - none")
for bits in [3, 64, 65, 128, 512, 1024, 2048]:
    for e_bits in [0, 1, 2, 17, 64, 200, bits]:
        m = rand_bits(bits) | 1
        if m == 1:
            m = 3
        a = rng.randrange(0, m * 2)
        e = rand_bits(e_bits)
        lines.append(f"exp {h(a)} {h(e)} {h(m)} {h(pow(a, e, m))}")
# Sums that need one more limb than either operand, and differences whose
# borrow runs through every limb and empties the top ones.
for limbs in [1, 2, 3, 8, 32]:
    top = 1 << (64 * limbs)
    for a, b in [(top - 1, 1), (top - 1, top - 1), ((top >> 1) + 5, top >> 1),
                 (top - 1, rand_bits(64 * limbs - 3))]:
        lines.append(f"add {h(a)} {h(b)} - {h(a + b)}")
    for a, b in [(top, 1), (top, top - 1), (top + 1, 2), (rand_bits(64 * limbs + 1), top - 1)]:
        lines.append(f"sub {h(a)} {h(b)} - {h(a - b)}")
with open("vectors.txt", "w") as f:
    f.write("\n".join(lines) + "\n")
