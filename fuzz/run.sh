#!/usr/bin/env bash
# fuzz/run.sh SECONDS: builds the targets, makes the seed corpora if they are
# missing, then runs every target in turn for SECONDS seconds (one process at
# a time). Findings go to fuzz/artifacts/<target>/; the exit status is
# non-zero when any target found something.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
seconds="${1:?usage: fuzz/run.sh SECONDS}"
out="${KCERTADM_FUZZ_BUILD:-$here/../build-fuzz}"
"$here/build.sh"
[ -d "$here/corpus" ] || "$here/make_corpus.sh"
status=0
for target in "$out"/fuzz/*_fuzz; do
  name="$(basename "$target")"
  mkdir -p "$here/corpus/$name" "$here/artifacts/$name"
  seeds=("$here/corpus/$name")
  [ -d "$here/seeds/$name" ] && seeds+=("$here/seeds/$name")
  echo "== $name for ${seconds}s"
  dict=()
  [ -f "$here/$name.dict" ] && dict=(-dict="$here/$name.dict")
  if ! nice "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=16384 -print_final_stats=1 "${dict[@]}" \
      -artifact_prefix="$here/artifacts/$name/" "${seeds[@]}"; then
    status=1
  fi
done
exit $status
