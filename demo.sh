#!/usr/bin/env bash
# Builds the tool and runs it on a built-in example in a fresh directory.
source "$(dirname "$0")/scripts/common.sh"
install_missing_packages
build_project >/dev/null
KCERTADM="$KCERTADM_BUILD/kcertadm"
DEMO_DIR="$(mktemp -d "${TMPDIR:-/tmp}/kcertadm-demo.XXXXXX")"
cd "$DEMO_DIR"
echo "demo directory: $DEMO_DIR"
echo

run() {
  echo "\$ kcertadm $*"
  "$KCERTADM" "$@" && status=0 || status=$?
  echo "(exit status $status)"
  echo
}

# The library answers, in English and in German.
run AdminSecurity
echo "\$ HeronResLang=de kcertadm AdminSecurity"
HeronResLang=de "$KCERTADM" AdminSecurity
echo

# Refusals: an unknown command, a missing password, a bad Version.
run NoSuchCommand
run GetEntries KeyFile=demo.kyr
run AdminSecurity Version=3
