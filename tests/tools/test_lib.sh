# Sourced by the tool test scripts: a scratch directory $WORK removed on
# exit, fail() to count a failure and finish to end with the verdict.
failures=0
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kcertadm-test.XXXXXX") || exit 1
trap 'rm -rf "$WORK"' EXIT
unset HeronResLang
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
finish() {
  [ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
  echo "all checks passed"
}
