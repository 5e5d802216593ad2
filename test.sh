#!/usr/bin/env bash
# Builds everything into build/ and runs every test. Exits non-zero on any failure.
source "$(dirname "$0")/scripts/common.sh"
install_missing_packages
build_project
cd "$KCERTADM_BUILD"
ctest --output-on-failure -j "$(nproc)"
