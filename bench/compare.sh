#!/usr/bin/env bash
# Builds kcertadm in release mode and compares it with OpenSSL on this
# machine, in one run, printing one table of ratios (ours / OpenSSL; below 1
# means ours is faster):
#   - whole-process runs, ours and OpenSSL interleaved, median wall time of
#     RUNS runs each (KEYGEN_RUNS for the commands that make a key pair):
#     CreateSelfSigned KeySize=2048 / openssl req -x509 -newkey rsa:2048,
#     SignCert / openssl x509 -req -CA, GetEntries over a key ring of 1,000
#     certificate entries / openssl storeutl -noout -text over the same
#     certificates;
#   - RSA private and public operations and key generation in-process, 1024
#     to 4096 bits, on every kernel the processor runs, with the kernel in
#     use printed (bench/compare_openssl.sh: rsa_bench against openssl speed
#     / genrsa, OpenSSL held to the same instructions);
# then the key ring scaling table (bench/keyring_bench: 100, 1,000 and
# 10,000 entries; growth ratios and peak heap per byte of file) and the
# cost of the first seeding of the random generator next to one 1024-bit
# key generation.
#
# Usage: bench/compare.sh [build-dir]   (default: build-release)
# Environment: RUNS (default 11), KEYGEN_RUNS (default 21), RING_SIZE
# (default 1000), CERT_BUNDLE (PEM certificates to list instead of
# RING_SIZE generated ones), SKIP_BUILD=1 to use the build as it is,
# SEEDING_ONLY=1 for the seeding figures alone (no OpenSSL comparisons, no
# scaling).
set -euo pipefail
export LC_ALL=C

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$source_dir/build-release}
RUNS=${RUNS:-11}
KEYGEN_RUNS=${KEYGEN_RUNS:-21}
RING_SIZE=${RING_SIZE:-1000}
PYTHON=/usr/bin/python3

SEEDING_ONLY=${SEEDING_ONLY:-0}
targets=(kcertadm_cli rsa_bench keyring_bench)
[ "$SEEDING_ONLY" = 1 ] && targets=(keyring_bench)
if [ "${SKIP_BUILD:-0}" != 1 ]; then
  cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
  cmake --build "$build" -j2 --target "${targets[@]}" > /dev/null
fi
build=$(cd "$build" && pwd)  # the commands below run in other directories
tool=$build/kcertadm
for target in "${targets[@]}"; do
  case $target in
    kcertadm_cli) program=$tool ;;
    *) program=$build/bench/$target ;;
  esac
  [ -x "$program" ] || { echo "missing $program" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
password=bench-password

# --- seeding -------------------------------------------------------------------------

# The first seeding of the random generator against one 1024-bit key
# generation, both in one run of keyring_bench with their repetitions
# interleaved, so a change of load falls on both alike. Wall time decides
# (what the caller waits); CPU time is the whole process's.
seeding() {
  local csv s=/process_time/real_time_median keygen rows
  csv=$("$build/bench/keyring_bench" --benchmark_filter='BM_(SeedRandom|KeyGenShared)' \
        --benchmark_enable_random_interleaving=true --benchmark_format=csv 2> /dev/null | tr -d '"')
  # "entries wall CPU" per ring size, by the number of entries; "wall CPU" of the key generation.
  rows=$(echo "$csv" | awk -F, -v s="$s" '$1 ~ "^BM_SeedRandom/[0-9]+/repeats:[0-9]+" s "$" {
    split($1, p, "/"); print p[2], $3, $4 }' | sort -n)
  keygen=$(echo "$csv" | awk -F, -v s="$s" '$1 ~ "^BM_KeyGenShared/1024/.*" s "$" { print $3, $4 }')
  if [ -z "$rows" ] || [ -z "$keygen" ]; then echo "seeding: benchmark figures missing"; return 1; fi
  echo "first seeding of the random generator (median of 9) against one 1024-bit key generation (median of 51)"
  printf '%-22s %12s %12s %12s %12s\n' "key ring entries" "wall ms" "CPU ms" "wall ratio" "CPU ratio"
  echo "$rows" | awk -v kw="${keygen% *}" -v kc="${keygen#* }" '{
    printf "%-22s %12.2f %12.2f %12.2f %12.2f  %s\n", $1, $2, $3, $2 / kw, $3 / kc, ($2 / kw < 1 ? "met" : "MISSED") }'
  printf '%-22s %12.2f %12.2f\n' "1024-bit keygen" "${keygen% *}" "${keygen#* }"
  echo "target: wall ratio below 1"
}

if [ "$SEEDING_ONLY" = 1 ]; then
  echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
  echo "load at start: $(cut -d' ' -f1-3 /proc/loadavg)"
  seeding
  echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
  exit 0
fi

# --- measuring ---------------------------------------------------------------

# Wall time of one run of a command, in milliseconds; its output is
# discarded, its failure ends the script.
wall_ms() {
  local start=$EPOCHREALTIME
  if ! "$@" > /dev/null 2> "$work/last.err"; then
    echo "failed: $*" >&2
    cat "$work/last.err" >&2
    exit 1
  fi
  local end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", (e - s) * 1000 }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

rows=()
# row NAME OURS OPENSSL UNIT TARGET
row() {
  rows+=("$(awk -v n="$1" -v a="$2" -v b="$3" -v u="$4" -v t="$5" 'BEGIN {
    r = a / b
    printf "%-34s %10.2f %10.2f %-3s %6.2f %6.2f  %s", n, a, b, u, r, t, (r <= t ? "met" : "MISSED") }')")
}

# compare NAME TARGET RUNS OURS-FN OPENSSL-FN: both functions take the run
# number, are called alternately (the order swapped every run) and print
# their wall time.
compare() {
  local name=$1 target=$2 runs=$3 ours=$4 theirs=$5 i
  : > "$work/ours.t"; : > "$work/theirs.t"
  for ((i = 0; i < runs; i++)); do
    if ((i % 2 == 0)); then
      "$ours" "$i" >> "$work/ours.t"; "$theirs" "$i" >> "$work/theirs.t"
    else
      "$theirs" "$i" >> "$work/theirs.t"; "$ours" "$i" >> "$work/ours.t"
    fi
  done
  row "$name" "$(median < "$work/ours.t")" "$(median < "$work/theirs.t")" ms "$target"
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "openssl: $(openssl version)"
echo "load at start: $(cut -d' ' -f1-3 /proc/loadavg)"

# --- CreateSelfSigned --------------------------------------------------------

subject=(Country=GB Org=Bench CommonName=bench.example)
ours_selfsigned() {
  mkdir -p "$work/ss$1"
  (cd "$work/ss$1" && KCERTADM_DATA_DIR="$work/ss$1" wall_ms "$tool" CreateSelfSigned KeyFile=key.kyr \
     "Password=$password" KeyName=server "${subject[@]}" KeySize=2048 ValidDays=365)
}
openssl_selfsigned() {
  mkdir -p "$work/ss$1"
  wall_ms openssl req -x509 -newkey rsa:2048 -nodes -subj "/C=GB/O=Bench/CN=bench.example" -days 365 \
    -keyout "$work/ss$1/o.key" -out "$work/ss$1/o.pem"
}
compare "CreateSelfSigned KeySize=2048" 1.0 "$KEYGEN_RUNS" ours_selfsigned openssl_selfsigned

# --- SignCert --------------------------------------------------------------

mkdir -p "$work/ca"
(cd "$work/ca" && KCERTADM_DATA_DIR="$work/ca" "$tool" CreateSelfSignedRoot KeyFile=ca.kyr "Password=$password" \
   KeyName=authority Country=GB Org=Bench CommonName=Bench-CA KeySize=2048 ValidDays=3650 > /dev/null)
openssl req -x509 -newkey rsa:2048 -nodes -subj "/C=GB/O=Bench/CN=Bench-CA" -days 3650 \
  -keyout "$work/ca/ca.key" -out "$work/ca/ca.pem" 2> /dev/null
# The request is signed with SHA-1: the key ring software knows MD2, MD5 and
# SHA-1 signatures only.
openssl req -new -newkey rsa:2048 -nodes -sha1 -subj "/C=GB/O=Bench/CN=client.bench.example" \
  -keyout "$work/ca/req.key" -out "$work/ca/req.pem" 2> /dev/null
ours_sign() {
  wall_ms "$tool" SignCert "KeyFile=$work/ca/ca.kyr" "Password=$password" "CertReqFile=$work/ca/req.pem" \
    "CertFile=$work/ca/ours$1.cer" ValidDays=365
}
openssl_sign() {
  wall_ms openssl x509 -req -in "$work/ca/req.pem" -CA "$work/ca/ca.pem" -CAkey "$work/ca/ca.key" \
    -days 365 -out "$work/ca/openssl$1.pem"
}
compare "SignCert" 1.0 "$RUNS" ours_sign openssl_sign

# --- GetEntries --------------------------------------------------------------

# With CERT_BUNDLE (a file of PEM certificates) the listing runs over those
# certificates instead; both sides list the ones the key ring takes.
if [ -n "${CERT_BUNDLE:-}" ]; then
  mkdir -p "$work/certs"
  "$PYTHON" "$source_dir/bench/cert_bundle.py" to-der "$CERT_BUNDLE" "$work/certs/given.der"
  "$build/bench/keyring_bench" --make-ring "$work/certs/ring.kyr" "$password" "$work/certs/given.der" \
    "$work/certs/bundle.der"
  "$PYTHON" "$source_dir/bench/cert_bundle.py" to-pem "$work/certs/bundle.der" "$work/certs/bundle.pem"
  RING_SIZE=$(grep -c "BEGIN CERTIFICATE" "$work/certs/bundle.pem")
else
  "$PYTHON" "$source_dir/bench/make_certs.py" "$work/certs" "$RING_SIZE"
  "$build/bench/keyring_bench" --make-ring "$work/certs/ring.kyr" "$password" "$work/certs/bundle.der"
fi
ours_list() {
  wall_ms "$tool" GetEntries "KeyFile=$work/certs/ring.kyr" "Password=$password" \
    "EntriesFile=$work/certs/ours$1.txt"
}
openssl_list() { wall_ms openssl storeutl -noout -text "$work/certs/bundle.pem"; }
if "$tool" GetEntries "KeyFile=$work/certs/ring.kyr" "Password=$password" \
     "EntriesFile=$work/certs/probe.txt" > /dev/null 2>&1; then
  compare "GetEntries $RING_SIZE certificate entries" 1.0 "$RUNS" ours_list openssl_list
  # Peak resident memory of one run each, next to the size of the key ring.
  rss() { /usr/bin/time -f %M "$@" 2>&1 > /dev/null | tail -1; }
  listing_rss="GetEntries peak RSS: ours $(rss "$tool" GetEntries "KeyFile=$work/certs/ring.kyr" \
    "Password=$password" "EntriesFile=$work/certs/rss.txt") KB, openssl storeutl $(rss openssl storeutl \
    -noout -text "$work/certs/bundle.pem") KB; key ring file $(( $(stat -c %s "$work/certs/ring.kyr") / 1024 )) KB"
else
  rows+=("$(printf '%-34s %s' "GetEntries $RING_SIZE certificate entries" "not measured: GetEntries is not available in this build")")
  listing_rss=""
fi

# --- RSA in-process ------------------------------------------------------------

# Every kernel this processor runs (KERNELS, SIZES, KEYGEN_SIZES and
# KEYGEN_RUNS narrow it down; see compare_openssl.sh); the rows below are
# those of the kernel in use by default, the per-kernel table follows them.
rsa=$(KEYGEN_RUNS=$KEYGEN_RUNS "$source_dir/bench/compare_openssl.sh" "$build/bench/rsa_bench")
echo "RSA kernel in use: $("$build/bench/rsa_bench" --kernel)"
# "RSA-2048 private: ours X us  openssl sign Y us  ratio ..." and alike.
rsa_figures() { echo "$rsa" | grep "^$1" | awk '{ for (i = 1; i <= NF; i++) if ($i == "ours") print $(i + 1), $(i + 5) }'; }
read -r a b <<< "$(rsa_figures 'RSA-2048 private')"; row "RSA-2048 private op (in-process)" "$a" "$b" us 1.2
read -r a b <<< "$(rsa_figures 'RSA-2048 public')"; row "RSA-2048 public op (in-process)" "$a" "$b" us 1.0
read -r a b <<< "$(rsa_figures 'keygen 2048')"; row "RSA-2048 key generation (median)" "$a" "$b" ms 1.0

echo
printf '%-34s %10s %10s %-3s %6s %6s  %s\n' comparison ours openssl "" ratio target result
printf '%s\n' "${rows[@]}"
[ -n "$listing_rss" ] && echo "$listing_rss"
echo
echo "RSA per kernel (ours / OpenSSL with the same instructions; CPU time)"
echo "$rsa" | sed -n '/^kernel in use by default/,$p'
echo "load after the comparisons: $(cut -d' ' -f1-3 /proc/loadavg)"

# --- key ring scaling ----------------------------------------------------------------

csv=$("$build/bench/keyring_bench" --benchmark_filter=-'BM_(SeedRandom|KeyGenShared)' \
      --benchmark_format=csv 2> /dev/null)
# field NAME COLUMN: 3 wall time, 4 CPU time (ms); or a counter by its name.
field() {
  echo "$csv" | awk -F, -v n="\"$1\"" -v c="$2" '
    NR == 1 { for (i = 1; i <= NF; i++) { h = $i; gsub(/"/, "", h); col[h] = i } }
    $1 == n { print (c ~ /^[0-9]+$/) ? $c : $(col[c]) }'
}
echo
echo "key ring scaling (CPU ms per operation; wall-time growth in brackets; peak heap / file size, largest of the three)"
printf '%-24s %9s %9s %9s %15s %17s %9s\n' operation 100 1000 10000 1000/100 10000/1000 peak/file
for op in KeyRingOpen KeyRingWrite GetEntries ReceiveCert DeleteEntry AddCertificateInMemory DeleteEntryInMemory; do
  c1=$(field "BM_$op/100" 4); c2=$(field "BM_$op/1000" 4); c3=$(field "BM_$op/10000" 4)
  w1=$(field "BM_$op/100" 3); w2=$(field "BM_$op/1000" 3); w3=$(field "BM_$op/10000" 3)
  m1=$(field "BM_$op/100" peak_per_file); m2=$(field "BM_$op/1000" peak_per_file)
  m3=$(field "BM_$op/10000" peak_per_file)
  awk -v o="$op" -v a="$c1" -v b="$c2" -v c="$c3" -v x="$w1" -v y="$w2" -v z="$w3" \
      -v m1="$m1" -v m2="$m2" -v m3="$m3" 'BEGIN {
    m = m1; if (m2 > m) m = m2; if (m3 > m) m = m3
    printf "%-24s %9.3f %9.3f %9.3f %6.2f [%6.2f] %8.2f [%6.2f] %9s\n", o, a, b, c, b / a, y / x, c / b, z / y,
           (m1 == "" ? "-" : sprintf("%.2f", m)) }'
done
echo
seeding
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
