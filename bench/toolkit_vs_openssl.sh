#!/usr/bin/env bash
# Runs the toolkit benchmark and `openssl speed` back to back on this machine
# and prints the throughput ratios (toolkit / OpenSSL). Both sides are CPU
# time based. Usage: bench/toolkit_vs_openssl.sh [build-dir]
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
bench="$build/bench/toolkit_bench"
[ -x "$bench" ] || { echo "build $bench first" >&2; exit 1; }

echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
ours=$("$bench" --benchmark_min_time=1 --benchmark_format=csv \
        --benchmark_filter='Md5Raw|Sha1Raw|Sha256Object|Sha384Raw|Sha512Raw|DesCbcObject/|DesEde3CbcObject' 2>/dev/null)
theirs=$( { openssl speed -seconds 3 -bytes 8192 md5 sha1 2>/dev/null;
            for d in sha256 sha384 sha512; do openssl speed -seconds 3 -bytes 8192 -evp $d 2>/dev/null; done;
            openssl speed -seconds 3 -bytes 8192 -evp des-ede3-cbc 2>/dev/null;
            openssl speed -seconds 3 -bytes 8192 -provider legacy -provider default -evp des-cbc 2>/dev/null; } )

# Bytes per second of one of our benchmarks (csv column bytes_per_second).
ours_rate() { echo "$ours" | awk -F, -v n="\"$1\"" '$1 == n { print $6 }'; }
# Bytes per second from an openssl result line (values are in 1000s of bytes).
theirs_rate() { echo "$theirs" | awk -v n="$1" '$1 == n { v = $NF; sub(/k$/, "", v); print v * 1000 }'; }

printf '%-14s %14s %14s %7s\n' algorithm toolkit_MB/s openssl_MB/s ratio
for pair in "md5:Md5Raw/8192:md5" "sha1:Sha1Raw/8192:sha1" "sha256:Sha256Object/8192:sha256" \
            "sha384:Sha384Raw/8192:sha384" "sha512:Sha512Raw/8192:sha512" \
            "des-cbc:DesCbcObject/8192:DES-CBC" "des-ede3-cbc:DesEde3CbcObject/8192:DES-EDE3-CBC"; do
  IFS=: read -r label mine other <<<"$pair"
  a=$(ours_rate "$mine"); b=$(theirs_rate "$other")
  if [ -n "$a" ] && [ -n "$b" ]; then
    awk -v l="$label" -v a="$a" -v b="$b" 'BEGIN { printf "%-14s %14.1f %14.1f %7.2f\n", l, a/1e6, b/1e6, a/b }'
  else
    printf '%-14s %14s %14s %7s\n' "$label" "${a:-?}" "${b:-?}" "-"
  fi
done
