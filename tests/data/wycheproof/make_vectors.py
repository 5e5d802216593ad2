#!/usr/bin/python3
# Writes compact vector files from Wycheproof files (C2SP/wycheproof
# testvectors_v1, Apache License 2.0, see LICENSE here) in the directory
# given as the first argument. Hex throughout, "-" for empty; RESULT is
# valid, invalid or acceptable.
#
# rsa_signature_vectors.txt, from rsa_signature_{2048,3072,4096,8192}_
# {sha256,sha384,sha512}_test.json (RSASSA-PKCS1-v1_5 verification):
#   key DIGEST MODULUS EXPONENT     starts a test group
#   FILE:TCID RESULT MESSAGE SIGNATURE
# mac_kdf_vectors.txt, from hmac_sha{1,256,384,512}_test.json and
# pbkdf2_hmacsha{1,256}_test.json:
#   hmac DIGEST TCID RESULT KEY MESSAGE TAG      (TAG may be truncated)
#   pbkdf2 DIGEST TCID RESULT PASSWORD SALT ITERATIONS DERIVED
import json
import os
import sys

SIZES = (2048, 3072, 4096, 8192)
DIGESTS = ("sha256", "sha384", "sha512")


def main():
    source = sys.argv[1]
    with open("rsa_signature_vectors.txt", "w") as out:
        out.write("# Wycheproof rsa_signature_*_test.json, written by make_vectors.py\n")
        for size in SIZES:
            for digest in DIGESTS:
                name = f"rsa_signature_{size}_{digest}"
                with open(os.path.join(source, name + "_test.json")) as f:
                    document = json.load(f)
                for group in document["testGroups"]:
                    key = group["publicKey"]
                    out.write(f"key {digest} {key['modulus']} {key['publicExponent']}\n")
                    for test in group["tests"]:
                        out.write(f"{size}_{digest}:{test['tcId']} {test['result']} "
                                  f"{test['msg'] or '-'} {test['sig'] or '-'}\n")
    with open("mac_kdf_vectors.txt", "w") as out:
        out.write("# Wycheproof hmac_* and pbkdf2_* files, written by make_vectors.py\n")
        for digest in ("sha1", "sha256", "sha384", "sha512"):
            for test in tests(source, f"hmac_{digest}_test.json"):
                out.write(f"hmac {digest} {test['tcId']} {test['result']} {test['key'] or '-'} "
                          f"{test['msg'] or '-'} {test['tag'] or '-'}\n")
        for digest in ("sha1", "sha256"):
            for test in tests(source, f"pbkdf2_hmac{digest}_test.json"):
                out.write(f"pbkdf2 {digest} {test['tcId']} {test['result']} {test['password'] or '-'} "
                          f"{test['salt'] or '-'} {test['iterationCount']} {test['dk']}\n")


def tests(source, name):
    with open(os.path.join(source, name)) as f:
        for group in json.load(f)["testGroups"]:
            yield from group["tests"]


if __name__ == "__main__":
    main()
