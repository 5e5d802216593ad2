#!/bin/sh
# A toolkit or big-number status or an owner's Create result that is dropped does not
# compile once unused results are errors; the same calls with their result
# used do. A toolkit call without the proof of holding ToolkitLock does not
# compile at all.
#   ignored_status_probe.sh <c++ compiler> <src dir> <include dir>
set -u
cxx=$1 src=$2 include=$3
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
status=0

# probe <name> <statement> <expect: builds|fails>
probe() {
  cat > "$work/probe.cc" <<CODE
#include "crypto/bignum/bignum.h"
#include "crypto/random/random_shared.h"
#include "crypto/rsa/signature.h"
using namespace kcertadm;
int main() {
  std::uint8_t bytes[4];
  OwnedKey key;
  ToolkitLockHeld lock;
  $2;
  return 0;
}
CODE
  if "$cxx" -std=c++20 -fsyntax-only -Werror=unused-result -I "$include" -I "$src" \
      "$work/probe.cc" 2> "$work/err"; then
    got=builds
  elif grep -q "nodiscard\|unused-result" "$work/err"; then
    got=fails
  elif grep -q "ToolkitLockHeld" "$work/err"; then
    got=refused
  else
    got=broken
    cat "$work/err"
  fi
  if [ "$got" = "$3" ]; then
    echo "ok: $1 $got"
  else
    echo "FAIL: $1 $got, expected it to be $3"
    status=1
  fi
}

probe "random bytes checked" "if (!GetRandomBytes(bytes, 4).ok()) return 1" builds
probe "random bytes dropped" "GetRandomBytes(bytes, 4)" fails
probe "key creation checked" "if (key.Create(lock) != 0) return 1" builds
probe "key creation dropped" "key.Create(lock)" fails
probe "signature check dropped" "VerifyData(lock, 2, key.get(), bytes, 4, bytes, 4)" fails
probe "remainder checked" "BigNum r; if (!BigNum::Mod(BigNum(5), BigNum(3), &r).ok()) return 1" builds
probe "remainder dropped" "BigNum r; BigNum::Mod(BigNum(5), BigNum(3), &r)" fails
probe "toolkit call checked" "if (!KeySetInfo(lock, key.get(), KeyInfoItem(), nullptr).ok()) return 1" builds
probe "toolkit call dropped" "KeySetInfo(lock, key.get(), KeyInfoItem(), nullptr)" fails
probe "toolkit call without the lock" "(void)KeySetInfo(key.get(), KeyInfoItem(), nullptr)" refused
probe "status kept as a number" "int code = GetRandomBytes(bytes, 4).code(); (void)code" builds
exit $status
