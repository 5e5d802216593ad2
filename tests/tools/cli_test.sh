#!/bin/sh
# Runs the kcertadm tool and checks its output line and exit status.
# usage: cli_test.sh KCERTADM MESSAGE_DIR
set -u
KCERTADM=$1
MESSAGES=$2
failures=0
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kcertadm-cli.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
unset HeronResLang KCERTADM_MSG_DIR

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect STATUS PATTERN ARGS...: runs the tool, checks the exit status and
# that its standard output matches the grep pattern.
expect() {
  want_status=$1 pattern=$2
  shift 2
  "$KCERTADM" "$@" >out 2>err
  status=$?
  [ "$status" -eq "$want_status" ] || fail "kcertadm $*: exit $status, wanted $want_status"
  grep -q -- "$pattern" out || fail "kcertadm $*: output \"$(cat out)\" does not match $pattern"
}

# expect_usage ARGS...: exit 2, nothing on standard output, a reason on errors.
expect_usage() {
  "$KCERTADM" "$@" >out 2>err
  status=$?
  [ "$status" -eq 2 ] || fail "kcertadm $*: exit $status, wanted 2"
  [ ! -s out ] || fail "kcertadm $*: printed \"$(cat out)\" on a usage error"
  grep -q 'kcertadm:' err || fail "kcertadm $*: no reason given"
}

# One line, "NUMBER: TEXT", with the English text.
expect 0 '^30065: Key ring administration is available\.$' AdminSecurity
[ "$(wc -l <out)" -eq 1 ] || fail "AdminSecurity printed more than one line"
expect 0 '^30065: ' adminsecurity
expect 1 '^30001: The command is not known\.$' NoSuchCommand
expect 1 '^30003: ' GetEntries
expect 1 '^30002: ' GetEntries Password=p Bogus=1
expect 1 '^30004: ' GetEntries Password=p KeyFile=
expect 1 '^30005: ' SignCert Password=p ValidDays=10001
expect 1 '^30064: ' AdminSecurity Version=3
expect 0 '^30065: ' AdminSecurity Version=2
# Several items in one argument are fine.
expect 1 '^30004: ' GetEntries "Password=p;KeyFile="
expect 1 '^30005: ' SignCert "UseStash;ValidDays=-1"

# Language choice and catalogue location.
HeronResLang=de expect 0 '^30065: Die Schl' AdminSecurity
HeronResLang=EN expect 0 '^30065: Key ring' AdminSecurity
mkdir only-english && cp "$MESSAGES/kmsglib.msg" only-english/
HeronResLang=de KCERTADM_MSG_DIR="$WORK/only-english" expect 0 '^30065: Key ring' AdminSecurity
mkdir empty
KCERTADM_MSG_DIR="$WORK/empty" expect 0 '^30065: $' AdminSecurity
KCERTADM_MSG_DIR="$WORK/empty" expect 1 '^30001: $' Nope

# A value cannot hold ";": refused instead of being passed on in halves.
expect_usage CreateKeyFile "Password=se;cret" KeyName=a CommonName=b
expect_usage CreateKeyFile "Password=x;y=z" KeyName=a
expect_usage AdminSecurity ""
expect_usage AdminSecurity "Version=2;"
expect_usage AdminSecurity "Version=2;;UsePEM"
expect_usage

# Help.
expect 0 'AdminSecurity' --help
expect 0 'CreateCertReq' -h
expect 0 'required: Password, KeyFile, NewPassword' help ChangePassword
expect 0 'optional: NoTrust' help designateroot
grep -q 'required: none' out || true
expect 0 'required: none' help AdminSecurity
expect_usage help NoSuchCommand

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all kcertadm tool checks passed"
