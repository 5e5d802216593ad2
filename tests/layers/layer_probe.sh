#!/bin/sh
# The layers of the library hold at compile time: a unit of one folder that
# includes a header of a folder above it does not compile, while headers of
# its own folder and the folders below it do.
#   layer_probe.sh <c++ compiler> <layer views dir> <include dir>
set -u
cxx=$1 views=$2 include=$3
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
status=0

# probe <folder> <header> <expect: builds|fails>
probe() {
  printf '#include "%s"\nint main() { return 0; }\n' "$2" > "$work/probe.cc"
  if "$cxx" -std=c++20 -fsyntax-only -I "$include" -I "$views/$1" "$work/probe.cc" 2> "$work/err"; then
    got=builds
  elif grep -q "No such file" "$work/err"; then
    got=fails
  else
    got=broken
    cat "$work/err"
  fi
  if [ "$got" = "$3" ]; then
    echo "ok: $1 including $2 $got"
  else
    echo "FAIL: $1 including $2 $got, expected it to be $3"
    status=1
  fi
}

# Downward and sideways within a folder: found.
probe base base/secure_memory.h builds
probe crypto base/locks.h builds
probe crypto crypto/toolkit/toolkit.h builds
probe crypto asn1/oids.h builds
probe cert asn1/asn1.h builds
probe keyring cert/certificate.h builds
probe commands keyfile/key_file.h builds
probe host_interface commands/command_options.h builds

# Upward: not found, so the unit does not build.
probe base host/messages.h fails
probe host crypto/toolkit/toolkit.h fails
probe asn1 crypto/toolkit/toolkit.h fails
probe crypto host_interface/export_guard.h fails
probe cert keyring/keyring.h fails
probe armour keyring/keyring.h fails
probe keyring commands/pem_keys.h fails
probe keyfile commands/command_options.h fails
probe commands host_interface/export_guard.h fails
exit $status
