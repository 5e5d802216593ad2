#!/bin/bash
# Runs the RSA benchmark on every kernel this processor has and OpenSSL in
# the same run, and prints ours / OpenSSL per kernel, size and operation:
# private operation against `openssl speed` sign, public against verify
# (CPU time per operation on both sides), key generation (median CPU time
# of KEYGEN_RUNS keys) against `openssl genrsa` (median CPU time of as
# many runs). OpenSSL is held to the same instructions as our kernel:
# against portable it runs without BMI2, ADX and IFMA, against adx without
# IFMA (OPENSSL_ia32cap masks), against ifma with everything it has.
#
# Usage: bench/compare_openssl.sh [path/to/rsa_bench]
# Environment: KERNELS (default: all this processor runs), SIZES (default
# "1024 2048 3072 4096"), KEYGEN_SIZES (default: SIZES; empty for none),
# KEYGEN_RUNS (default 11), SECONDS_PER_OP (openssl speed, default 3).
#
# The first lines, "RSA-2048 private: ours X us  openssl sign Y us ..." and
# alike, are those of the kernel in use by default (bench/compare.sh
# reads them); the table follows.
set -eu
export LC_ALL=C
BENCH=${1:-build/bench/rsa_bench}
KERNELS=${KERNELS:-$("$BENCH" --kernels | tr '\n' ' ')}
SIZES=${SIZES:-1024 2048 3072 4096}
KEYGEN_SIZES=${KEYGEN_SIZES-$SIZES}
KEYGEN_RUNS=${KEYGEN_RUNS:-11}
SECONDS_PER_OP=${SECONDS_PER_OP:-3}
default_kernel=$("$BENCH" --kernel)
OUT=$(mktemp)
trap 'rm -f "$OUT"' EXIT

# CPUID leaf 7 EBX bits: BMI2 (8), ADX (19), AVX512IFMA (21).
openssl_caps() {
  case $1 in
    portable | int128) echo ":~0x280100" ;;
    adx) echo ":~0x200000" ;;
    *) echo "" ;;
  esac
}

# median of the numbers on stdin
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# openssl under the capability mask CAPS (none: all it finds)
openssl_with() {
  local caps=$1
  shift
  if [ -n "$caps" ]; then OPENSSL_ia32cap=$caps openssl "$@"; else openssl "$@"; fi
}

# CPU ms of one `openssl genrsa BITS` run (user + system)
genrsa_cpu_ms() {
  local caps=$1 bits=$2
  ( TIMEFORMAT='%3U %3S'; { time openssl_with "$caps" genrsa "$bits" > /dev/null 2>&1; } 2>&1 ) |
    awk '{ print ($1 + $2) * 1000 }'
}

lines=()
for kernel in $KERNELS; do
  caps=$(openssl_caps "$kernel")
  filters=$(for s in $SIZES; do printf 'Private/%s$|Public/%s$|' "$s" "$s"; done)
  KCERTADM_RSA_KERNEL=$kernel "$BENCH" --benchmark_format=csv --benchmark_filter="${filters%|}" 2>/dev/null > "$OUT"
  # shellcheck disable=SC2086
  speed=$(openssl_with "$caps" speed -seconds "$SECONDS_PER_OP" $(for s in $SIZES; do printf 'rsa%s ' "$s"; done) 2>/dev/null | grep '^rsa [0-9]* bits')
  for bits in $SIZES; do
    ours_sign=$(grep "^\"BM_RsaPrivate/$bits\"" "$OUT" | cut -d, -f4)   # CPU time, us
    ours_verify=$(grep "^\"BM_RsaPublic/$bits\"" "$OUT" | cut -d, -f4)
    theirs=$(echo "$speed" | awk -v b="$bits" '$2 == b { print $4 * 1e6, $5 * 1e6 }')
    lines+=("$kernel $bits private ${ours_sign} ${theirs% *} us")
    lines+=("$kernel $bits public ${ours_verify} ${theirs#* } us")
  done
  for bits in $KEYGEN_SIZES; do
    KCERTADM_RSA_KERNEL=$kernel "$BENCH" --benchmark_format=csv --benchmark_filter="KeyGen/$bits/" \
      --benchmark_repetitions="$KEYGEN_RUNS" 2>/dev/null > "$OUT"
    ours_gen=$(grep "KeyGen/$bits.*_median" "$OUT" | cut -d, -f4)   # CPU time, ms
    theirs_gen=$(for _ in $(seq "$KEYGEN_RUNS"); do genrsa_cpu_ms "$caps" "$bits"; done | median)
    lines+=("$kernel $bits keygen ${ours_gen} ${theirs_gen} ms")
  done
done

for line in "${lines[@]}"; do
  read -r kernel bits op ours theirs unit <<< "$line"
  [ "$kernel" = "$default_kernel" ] || continue
  case $op in
    private) printf 'RSA-%s private: ours %8.1f us  openssl sign   %8.1f us  ratio %.2f (kernel %s)\n' "$bits" "$ours" "$theirs" "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')" "$kernel" ;;
    public) printf 'RSA-%s public:  ours %8.1f us  openssl verify %8.1f us  ratio %.2f (kernel %s)\n' "$bits" "$ours" "$theirs" "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')" "$kernel" ;;
    keygen) printf 'keygen %s median: ours %7.1f ms  openssl genrsa %7.1f ms  ratio %.2f (kernel %s)\n' "$bits" "$ours" "$theirs" "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')" "$kernel" ;;
  esac
done
echo
echo "kernel in use by default: $default_kernel (KCERTADM_RSA_KERNEL chooses another)"
printf '%-9s %6s %-8s %12s %12s %-3s %7s\n' kernel bits op ours openssl "" ratio
for line in "${lines[@]}"; do
  read -r kernel bits op ours theirs unit <<< "$line"
  awk -v k="$kernel" -v b="$bits" -v o="$op" -v a="$ours" -v t="$theirs" -v u="$unit" 'BEGIN {
    printf "%-9s %6s %-8s %12.1f %12.1f %-3s %7.2f\n", k, b, o, a, t, u, a / t }'
done
