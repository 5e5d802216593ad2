#!/usr/bin/env bash
# Builds the tool and runs it on a built-in example in a fresh directory.
source "$(dirname "$0")/scripts/common.sh"
install_missing_packages
build_project >/dev/null
KCERTADM="$KCERTADM_BUILD/kcertadm"
export KCERTADM_MSG_DIR="$KCERTADM_ROOT/messages"
DEMO_DIR="$(mktemp -d "${TMPDIR:-/tmp}/kcertadm-demo.XXXXXX")"
cd "$DEMO_DIR"
echo "demo directory: $DEMO_DIR"

run() {
  echo "\$ kcertadm $*"
  "$KCERTADM" "$@" || true
  echo
}

run AdminSecurity
run NoSuchCommand
