#!/usr/bin/python3
# Writes rsa_pkcs1_decrypt_vectors.txt from the Wycheproof files
# rsa_pkcs1_{2048,3072,4096}_test.json (C2SP/wycheproof testvectors_v1,
# Apache License 2.0, see LICENSE here; RSAES-PKCS1-v1_5 decryption) in the
# directory given as the first argument. Hex throughout, "-" for empty:
#   key MODULUS PUBLIC PRIVATE PRIME1 PRIME2 EXPONENT1 EXPONENT2 COEFFICIENT
#   FILE:TCID RESULT CIPHERTEXT MESSAGE          (RESULT valid or invalid)
import json
import os
import sys


def hex_or_dash(value):
    return value if value else "-"


def main():
    source = sys.argv[1]
    with open("rsa_pkcs1_decrypt_vectors.txt", "w") as out:
        out.write("# Wycheproof rsa_pkcs1_*_test.json, written by make_pkcs1_decrypt_vectors.py\n")
        for size in (2048, 3072, 4096):
            name = f"rsa_pkcs1_{size}"
            with open(os.path.join(source, name + "_test.json")) as f:
                data = json.load(f)
            for group in data["testGroups"]:
                key = group["privateKey"]
                parts = ("modulus", "publicExponent", "privateExponent", "prime1", "prime2",
                         "exponent1", "exponent2", "coefficient")
                out.write("key " + " ".join(key[p] for p in parts) + "\n")
                for test in group["tests"]:
                    assert test["result"] in ("valid", "invalid"), test
                    out.write(f"{name}:{test['tcId']} {test['result']} {hex_or_dash(test['ct'])} "
                              f"{hex_or_dash(test['msg'])}\n")


if __name__ == "__main__":
    main()
