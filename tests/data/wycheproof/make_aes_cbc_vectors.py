#!/usr/bin/python3
# Writes aes_cbc_pkcs5.txt from Wycheproof's aes_cbc_pkcs5_test.json
# (C2SP/wycheproof, testvectors_v1; Apache License 2.0, see LICENSE here):
# every test, one line each, so that the C++ tests need no JSON reader. The
# file is written beside this script.
#
#   python3 make_aes_cbc_vectors.py PATH/aes_cbc_pkcs5_test.json
#
# Line format: tcId key-hex iv-hex msg-hex ct-hex result flags
# ("-" for an empty message or ciphertext; flags joined with ",").
import json
import os
import sys


def main():
    with open(sys.argv[1]) as source:
        suite = json.load(source)
    rows = []
    for group in suite["testGroups"]:
        for test in group["tests"]:
            rows.append(" ".join((str(test["tcId"]), test["key"], test["iv"], test["msg"] or "-",
                                  test["ct"] or "-", test["result"], ",".join(test["flags"]) or "-")))
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "aes_cbc_pkcs5.txt"), "w") as out:
        out.write(f"# Wycheproof {suite['algorithm']}, {suite['numberOfTests']} tests: "
                  "tcId key iv msg ct result flags\n")
        out.write("\n".join(rows) + "\n")


if __name__ == "__main__":
    main()
