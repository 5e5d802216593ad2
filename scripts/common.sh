# Shared by demo.sh and test.sh: install what the build needs, then build.
set -euo pipefail

KCERTADM_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
KCERTADM_BUILD="${KCERTADM_BUILD:-$KCERTADM_ROOT/build}"
# Parallel jobs for builds and ctest; CI and shared machines may lower it.
KCERTADM_JOBS="${KCERTADM_JOBS:-$(nproc)}"

# Debian packages the build and the tests use. Only missing ones are
# installed, so a machine that has them all is left alone. valgrind checks
# the C host program's use of the installed library for leaks and bad
# reads; without it that test would pass unchecked. lintian checks the
# Debian packages the way Debian would, and python3-jsonschema the tool's
# JSON output against its schema.
KCERTADM_PACKAGES=(cmake ninja-build g++ libgtest-dev libbenchmark-dev file pkg-config
                   openssl python3 python3-cryptography python3-pycryptodome valgrind
                   lintian python3-jsonschema)

install_missing_packages() {
  local missing=()
  for pkg in "${KCERTADM_PACKAGES[@]}"; do
    dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
  done
  if ((${#missing[@]})); then
    echo "installing: ${missing[*]}" >&2
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

build_project() {
  if [ ! -f "$KCERTADM_BUILD/build.ninja" ]; then
    cmake -S "$KCERTADM_ROOT" -B "$KCERTADM_BUILD" -G Ninja -DKCERTADM_WERROR=ON "$@"
  fi
  cmake --build "$KCERTADM_BUILD" -j "$KCERTADM_JOBS"
}
