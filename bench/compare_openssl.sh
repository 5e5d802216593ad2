#!/bin/sh
# Runs the RSA benchmark and OpenSSL side by side and prints the ratios the
# RSA code is held to: private operation at most 1.5 x `openssl speed`
# sign, public operation at most 2 x its verify, key generation (median of
# 21) at most half of `openssl genrsa`.
# Usage: bench/compare_openssl.sh [path/to/rsa_bench]
set -eu
BENCH=${1:-build/bench/rsa_bench}
OUT=$(mktemp)
trap 'rm -f "$OUT"' EXIT

"$BENCH" --benchmark_format=csv --benchmark_filter='Private/2048|Public/2048' 2>/dev/null > "$OUT"
ours_sign=$(grep '^"BM_RsaPrivate/2048"' "$OUT" | cut -d, -f4)   # cpu time, us
ours_verify=$(grep '^"BM_RsaPublic/2048"' "$OUT" | cut -d, -f4)
speed=$(openssl speed -seconds 3 rsa2048 2>/dev/null | grep '^rsa 2048')
ossl_sign=$(echo "$speed" | awk '{print $4 * 1e6}')
ossl_verify=$(echo "$speed" | awk '{print $5 * 1e6}')

"$BENCH" --benchmark_format=csv --benchmark_filter='KeyGen' 2>/dev/null > "$OUT"
ours_gen1024=$(grep 'KeyGen/1024.*_median' "$OUT" | cut -d, -f3)   # real time, ms
ours_gen2048=$(grep 'KeyGen/2048.*_median' "$OUT" | cut -d, -f3)

# Median wall time of 21 `openssl genrsa` runs, in ms.
genrsa_median() {
  for i in $(seq 21); do
    s=$(date +%s%N); openssl genrsa "$1" > /dev/null 2>&1; e=$(date +%s%N)
    echo $(( (e - s) / 1000 ))
  done | sort -n | sed -n 11p | awk '{print $1 / 1000}'
}
ossl_gen1024=$(genrsa_median 1024)
ossl_gen2048=$(genrsa_median 2048)

awk -v a="$ours_sign" -v b="$ossl_sign" -v c="$ours_verify" -v d="$ossl_verify" \
    -v e="$ours_gen1024" -v f="$ossl_gen1024" -v g="$ours_gen2048" -v h="$ossl_gen2048" 'BEGIN {
  printf "RSA-2048 private: ours %8.1f us  openssl sign   %8.1f us  ratio %.2f (limit 1.5)\n", a, b, a / b
  printf "RSA-2048 public:  ours %8.1f us  openssl verify %8.1f us  ratio %.2f (limit 2)\n", c, d, c / d
  printf "keygen 1024 median: ours %7.1f ms  openssl genrsa %7.1f ms  ratio %.2f (limit 0.5)\n", e, f, e / f
  printf "keygen 2048 median: ours %7.1f ms  openssl genrsa %7.1f ms  ratio %.2f (limit 0.5)\n", g, h, g / h
}'
