#!/usr/bin/python3
"""An independent reader and writer of the key ring file layout, for
cross-checking the library.

  keyring_layout.py read RING PASSWORD       prints one line per entry
  keyring_layout.py write RING PASSWORD LIST writes RING from LIST lines

PASSWORD "-" means none. Entry lines: "entry FLAGS LABEL SUBJECT PROTECTED
PUBLIC PRIVATE CERTIFICATES AUXILIARY", every field hex ("-" when absent),
PROTECTED in its decrypted form; the reader ends with "headerword N".
Exit status 1 on any layout or check value failure.
"""
import hashlib
import struct
import sys

from Cryptodome.Cipher import DES
from Cryptodome.Hash import MD5
from Cryptodome.Protocol.KDF import PBKDF1

MAGIC = b"\x37\x48\x01\x01"
SALT = b"QbQbQbQb"


def pbe(password, data, encrypt):
    derived = PBKDF1(password + b"\0", SALT, 16, 7, MD5)
    cipher = DES.new(derived[:8], DES.MODE_CBC, iv=derived[8:])
    if encrypt:
        pad = 8 - len(data) % 8
        return cipher.encrypt(data + bytes([pad]) * pad)
    plain = cipher.decrypt(data)
    pad = plain[-1]
    if not 1 <= pad <= 8 or plain[-pad:] != bytes([pad]) * pad:
        raise ValueError("protected data padding")
    return plain[:-pad]


def check_value(password, header8):
    return hashlib.md5(password + header8).digest()[:8]


def read(path, password):
    data = open(path, "rb").read()
    if len(data) < 16 or data[:4] != MAGIC:
        raise ValueError("header")
    if data[8:16] != check_value(password, data[:8]):
        raise ValueError("check value")
    header_word = struct.unpack(">I", data[4:8])[0]
    offset, entries = 16, []
    while True:
        record = data[offset:offset + 16]
        if len(record) != 16:
            raise ValueError("record header")
        offset += 16
        if record == bytes(16):
            break
        lengths = struct.unpack(">7H", record[:14])
        fields = []
        for n in lengths:
            if offset + n > len(data):
                raise ValueError("record body")
            fields.append(data[offset:offset + n])
            offset += n
        if fields[2]:
            fields[2] = pbe(password, fields[2], False)
        entries.append((record[14], fields))
    if hashlib.md5(password + data[:offset]).digest() != data[offset:offset + 16]:
        raise ValueError("trailer")
    return header_word, entries


def write(path, password, entries, header_word=0):
    header = MAGIC + struct.pack(">I", header_word)
    out = bytearray(header + check_value(password, header))
    for flags, fields in entries:
        fields = list(fields)
        if fields[2]:
            fields[2] = pbe(password, fields[2], True)
        out += struct.pack(">7HBB", *[len(f) for f in fields], flags, 0)
        for f in fields:
            out += f
    out += bytes(16)
    out += hashlib.md5(password + bytes(out)).digest()
    open(path, "wb").write(out)


def hexfield(b):
    return b.hex() if b else "-"


def main(argv):
    command, path, password = argv[1], argv[2], argv[3]
    password = b"" if password == "-" else password.encode()
    try:
        if command == "read":
            header_word, entries = read(path, password)
            for flags, fields in entries:
                print("entry %d %s" % (flags, " ".join(hexfield(f) for f in fields)))
            print("headerword %d" % header_word)
        else:
            entries = []
            for line in open(argv[4]):
                words = line.split()
                if words and words[0] == "entry":
                    fields = [b"" if w == "-" else bytes.fromhex(w) for w in words[2:9]]
                    entries.append((int(words[1]), fields))
            write(path, password, entries)
    except (ValueError, IndexError, struct.error) as error:
        print("failed: %s" % error)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
