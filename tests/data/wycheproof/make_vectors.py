#!/usr/bin/python3
# Writes rsa_signature_vectors.txt from the Wycheproof RSASSA-PKCS1-v1_5
# verification files (C2SP/wycheproof testvectors_v1, Apache License 2.0,
# see LICENSE here): rsa_signature_{2048,3072,4096,8192}_{sha256,sha384,
# sha512}_test.json in the directory given as the first argument.
#
# Output lines, hex throughout ("-" for empty):
#   key DIGEST MODULUS EXPONENT     starts a test group
#   FILE:TCID RESULT MESSAGE SIGNATURE   RESULT is valid, invalid or acceptable
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


if __name__ == "__main__":
    main()
