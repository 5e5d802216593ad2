#!/bin/sh
# Runs the kcertadm tool and checks what it adds to the library: its
# arguments, output line, exit status and password sources.
# usage: cli_test.sh KCERTADM
set -u
KCERTADM=$1
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
  "$KCERTADM" "$@" <"${STDIN:-/dev/null}" >out 2>err
  status=$?
  [ "$status" -eq "$want_status" ] || fail "kcertadm $*: exit $status, wanted $want_status"
  grep -q -- "$pattern" out || fail "kcertadm $*: output \"$(cat out)\" does not match $pattern"
}

# expect_usage ARGS...: exit 2, nothing on standard output, a reason on errors.
expect_usage() {
  "$KCERTADM" "$@" </dev/null >out 2>err
  status=$?
  [ "$status" -eq 2 ] || fail "kcertadm $*: exit $status, wanted 2"
  [ ! -s out ] || fail "kcertadm $*: printed \"$(cat out)\" on a usage error"
  grep -q 'kcertadm:' err || fail "kcertadm $*: no reason given"
}

# One line, "NUMBER: TEXT", with the English text; exit 1 on a refusal.
expect 0 '^30065: Key ring administration is available\.$' AdminSecurity
[ "$(wc -l <out)" -eq 1 ] || fail "AdminSecurity printed more than one line"
expect 1 '^30001: The command is not known\.$' NoSuchCommand
# The items of several arguments, or several in one, make one parameter text.
expect 1 '^30002: ' GetEntries Password=p Bogus=1
expect 1 '^30005: ' SignCert "UseStash;ValidDays=-1"
HeronResLang=de expect 0 '^30065: Die Schl' AdminSecurity
mkdir empty
KCERTADM_MSG_DIR="$WORK/empty" expect 1 '^30001: $' Nope

# A value cannot hold ";": refused instead of being passed on in halves.
expect_usage CreateKeyFile "Password=se;cret" KeyName=a CommonName=b
expect_usage AdminSecurity ""
expect_usage

# Help and version; the lists that shell completion reads are checked by
# the completion test.
expect 0 'AdminSecurity' --help
expect 0 '^  \* NewPassword=TEXT' help ChangePassword
expect 0 '^  kcertadm CreateKeyFile KeyFile=' help createkeyfile
grep -q '^example:$' out || fail "help CreateKeyFile has no example"
expect_usage help NoSuchCommand
# Help fits a terminal of 80 columns.
for command in $("$KCERTADM" --commands); do "$KCERTADM" help "$command"; done >help.txt
"$KCERTADM" --help >>help.txt
awk 'length > 80 { print; bad = 1 } END { exit bad }' help.txt || fail "help lines over 80 columns"
expect 0 '^kcertadm [0-9][0-9.]*$' --version
expect_usage --bogus AdminSecurity

# expect_not_refused ARGS...: the password reached the library, so the
# parse did not stop at "no password" (30003); what the command itself
# then says depends on the key ring, which does not exist here.
expect_not_refused() {
  "$KCERTADM" "$@" <"${STDIN:-/dev/null}" >out 2>err
  status=$?
  [ "$status" -ne 2 ] || fail "kcertadm $*: usage error: $(cat err)"
  grep -q '^300[0-9][0-9]: ' out || fail "kcertadm $*: printed \"$(cat out)\""
  ! grep -q '^3000[3]: ' out || fail "kcertadm $*: the password did not arrive"
}

# Passwords from the sources openssl knows; none on the command line.
printf 'old\nnew\n' >pw.txt
export KCERTADM_TEST_PW=frombenv
expect_not_refused --passin=env:KCERTADM_TEST_PW GetEntries KeyFile=none.kyr EntriesFile=o.txt
! grep -q 'frombenv' out err || fail "the password was printed"
expect_not_refused GetEntries KeyFile=none.kyr EntriesFile=o.txt --passin fd:3 3<pw.txt
STDIN=pw.txt expect_not_refused ChangePassword KeyFile=none.kyr --passin stdin --newpassin stdin
! grep -q '^30058: ' out || fail "the new password from the second line did not arrive"
# UseStash and --passin together: the given password is used, as with Password=.
expect_not_refused GetEntries UseStash KeyFile=none.kyr EntriesFile=o.txt --passin pass:x

# A command without a key ring reads no password (standard input stays
# unread) and a failed parse asks nothing.
printf 'unread\n' >in.txt
STDIN=in.txt expect 0 '^30065: ' AdminSecurity --passin stdin
expect 1 '^30002: ' GetEntries Bogus=1 --passin env:KCERTADM_TEST_UNSET

# Refusals: a ";" the parameter syntax cannot carry, an unset variable, a
# password given twice.
expect_usage GetEntries KeyFile=a.kyr --passin 'pass:se;cret'
grep -q '";"' err || fail "the refusal of a password with \";\" does not say why"
printf 'a;b\n' >semi.txt
expect_usage GetEntries KeyFile=a.kyr --passin file:semi.txt
expect_usage GetEntries KeyFile=a.kyr --passin env:KCERTADM_TEST_UNSET
expect_usage GetEntries Password=x KeyFile=a.kyr --passin pass:y
expect_usage ChangePassword Password=x NewPassword=y --newpassin pass:z
expect_usage GetEntries KeyFile=a.kyr --passin pass:a --passin pass:b
expect_usage GetEntries KeyFile=a.kyr --passin

# Without a terminal nothing is asked: the command says 30003, with a hint.
expect 1 '^30003: ' GetEntries KeyFile=a.kyr EntriesFile=o.txt
grep -q -- '--passin' err || fail "no hint at --passin without a terminal"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all kcertadm tool checks passed"
