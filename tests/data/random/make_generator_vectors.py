#!/usr/bin/python3
"""Independent model of the MD5 random generator, from its description.

Writes generator_vectors.txt. Each line: a scenario name, then a list of
steps separated by spaces ("s:<hex>" seeds with those bytes, "s:" with no
bytes, "g:<n>" takes n bytes), then "=" and the hex of all bytes taken.
"""
import hashlib

L = 16


class Generator:
    def __init__(self):
        self.pending = False
        self.warmup = 2
        self.S = bytes(L)
        self.O = bytes(L)
        self.T = bytes(L)
        self.available = 0
        self.ctx = hashlib.md5()

    def seed(self, data):
        if self.warmup == 2:
            t = bytearray(self.ctx.digest())
            self.ctx = hashlib.md5()
            t[-1] |= 1
            self.T = bytes(t)
        if self.warmup > 0:
            self.warmup -= 1
        if self.warmup == 0 and not self.pending:
            self.ctx.update(self.S)
        self.ctx.update(data)
        self.pending = True

    def generate(self, count):
        out = b""
        if self.pending:
            self.pending = False
            self.available = 0
            self.S = self.ctx.digest()
            self.ctx = hashlib.md5()
        while count > self.available:
            out += self.O[L - self.available:]
            count -= self.available
            self.O = hashlib.md5(self.S).digest()
            s = int.from_bytes(self.S, "big")
            s += 1 if self.warmup != 0 else int.from_bytes(self.T, "big")
            self.S = (s % (1 << 128)).to_bytes(L, "big")
            self.available = L
        out += self.O[L - self.available:L - self.available + count]
        self.available -= count
        return out


SCENARIOS = {
    "unseeded": ["g:40"],
    "one_seed": ["s:616263", "g:32"],
    "two_seeds_then_output": ["s:616263", "s:646566", "g:50"],
    "chaining_after_output": ["s:616263", "g:5", "s:646566", "g:40"],
    "empty_seeds": ["s:", "s:", "g:17"],
    "reseed_many": ["s:00", "g:1", "s:01", "g:16", "s:02", "g:33", "s:" + "ff" * 70, "g:64"],
    "split_requests": ["s:" + "ff" * 16, "g:48", "g:1", "g:15", "g:16"],
    "output_before_seed": ["g:20", "s:7a", "g:20", "s:7b", "g:20"],
}

with open("generator_vectors.txt", "w") as f:
    for name, steps in SCENARIOS.items():
        g = Generator()
        out = b""
        for step in steps:
            kind, arg = step.split(":", 1)
            if kind == "s":
                g.seed(bytes.fromhex(arg))
            else:
                out += g.generate(int(arg))
        f.write(f"{name} {' '.join(steps)} = {out.hex()}\n")
