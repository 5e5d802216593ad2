#!/bin/sh
# What the kcertadm tool adds to the library: its arguments, output line, exit status, help and password sources;
# then the main steps of docs/getting-started.md on real key rings.
# usage: cli_test.sh KCERTADM
set -u
KCERTADM=$1
. "$(dirname "$0")/test_lib.sh"
DATA=$(cd "$(dirname "$0")/../data" && pwd)
cd "$WORK" || exit 1
unset KCERTADM_MSG_DIR KCERTADM_DATA_DIR KCERTADM_ROOTS

# expect STATUS PATTERN ARGS...: the exit status, and standard output matches the grep pattern.
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

# Help and version; completion reads the lists of --commands and --keywords.
expect 0 'AdminSecurity' --help
expect 0 '^  \* NewPassword=TEXT' help ChangePassword
expect 0 '^  kcertadm CreateKeyFile KeyFile=' help createkeyfile
grep -q '^example:$' out || fail "help CreateKeyFile has no example"
expect_usage help NoSuchCommand
for command in $("$KCERTADM" --commands); do "$KCERTADM" help "$command"; done >help.txt
"$KCERTADM" --help >>help.txt
awk 'length > 80 { print; bad = 1 } END { exit bad }' help.txt || fail "help lines over 80 columns"
expect 0 '^kcertadm [0-9][0-9.]*$' --version
expect_usage --bogus AdminSecurity

# A password from --passin reaches the library (which cannot read the missing key ring) and is printed nowhere.
export KCERTADM_TEST_PW=frombenv
expect 1 '^30010: ' --passin=env:KCERTADM_TEST_PW GetEntries KeyFile=none.kyr EntriesFile=o.txt
! grep -q 'frombenv' out err || fail "the password was printed"
# UseStash and --passin together: the given password is used, as with Password=.
expect 1 '^30010: ' GetEntries UseStash KeyFile=none.kyr EntriesFile=o.txt --passin pass:x
# A command without a key ring reads no password, and a failed parse asks nothing.
printf 'unread\n' >in.txt
STDIN=in.txt expect 0 '^30065: ' AdminSecurity --passin stdin
expect 1 '^30002: ' GetEntries Bogus=1 --passin env:KCERTADM_TEST_UNSET
# Refused: a ";" the parameter syntax cannot carry, an unset variable, a password given twice or not at all.
expect_usage GetEntries KeyFile=a.kyr --passin 'pass:se;cret'
grep -q '";"' err || fail "the refusal of a password with \";\" does not say why"
expect_usage GetEntries KeyFile=a.kyr --passin env:KCERTADM_TEST_UNSET
expect_usage GetEntries Password=x KeyFile=a.kyr --passin pass:y
expect_usage ChangePassword Password=x NewPassword=y --newpassin pass:z
expect_usage GetEntries KeyFile=a.kyr --passin pass:a --passin pass:b
expect_usage GetEntries KeyFile=a.kyr --passin
# Without a terminal nothing is asked: the command says 30003, with a hint.
expect 1 '^30003: ' GetEntries KeyFile=a.kyr EntriesFile=o.txt
grep -q -- '--passin' err || fail "no hint at --passin without a terminal"

# The guide's steps, the passwords in files instead of typed; the weak-key warning.
printf 'ca secret\n' >ca.pass
printf 'web=secret\n' >web.pass
expect 0 '^30029: ' CreateSelfSignedRoot KeyFile=ca.kyr KeyName=ca "CommonName=Example CA" "Org=Example Ltd" \
       KeySize=2048 ValidDays=3650 --passin file:ca.pass
! grep -q warning err || fail "a warning for a 2048-bit key"
expect 0 '^30020: ' CreateKeyFile KeyFile=web.kyr KeyName=web CommonName=www.example.com "Org=Example Ltd" \
       KeySize=2048 CertReqFile=web.csr --passin file:web.pass
expect 0 '^30040: ' SignCert KeyFile=ca.kyr CertReqFile=web.csr CertFile=web.crt ValidDays=365 --passin file:ca.pass
expect 0 '^30054: ' ExtractCert KeyFile=ca.kyr EntryLabel=ca CertFile=ca.crt UseStash
# A roots file with a root a key ring cannot hold (an elliptic-curve key): the others are taken, with a note.
cat "$DATA/keyring/ec_root.pem" ca.crt >roots.pem
KCERTADM_ROOTS=roots.pem expect 0 '^30020: ' CreateKeyFile KeyFile=rooted.kyr KeyName=r CommonName=r \
       --passin pass:x NoStashFile
grep -q 'note: 1 certificate of KCERTADM_ROOTS left out' err || fail "no note of the skipped root: $(cat err)"
expect 0 '^30' GetEntries KeyFile=rooted.kyr EntriesFile=rooted.txt --passin pass:x
grep -q 'Example CA' rooted.txt || fail "the RSA root was not taken"
expect 0 '^30030: ' ReceiveRootCert KeyFile=web.kyr CertReqFile=ca.crt EntryLabel=example-ca --passin file:web.pass
expect 0 '^30025: ' ReceiveCert KeyFile=web.kyr CertReqFile=web.crt UseStash
expect 0 '^30020: ' CreateKeyFile KeyFile=weak.kyr KeyName=w CommonName=w KeySize=512 --passin pass:x NoStashFile
grep -q 'warning:.* 512 bits' err || fail "no warning for a 512-bit key: $(cat err)"
# Today's defaults where the command line names neither digest nor size; the library's own on request.
expect 0 '^30029: ' CreateSelfSignedRoot KeyFile=now.kyr KeyName=n CommonName=n --passin pass:x NoStashFile
! grep -q warning err || fail "a warning for the tool's default key: $(cat err)"
expect 0 '^30054: ' ExtractCert KeyFile=now.kyr EntryLabel=n CertFile=now.crt --passin pass:x
expect 0 '^30029: ' CreateSelfSignedRoot KeyFile=old.kyr KeyName=o CommonName=o Dig=md5 KeySize=512 \
       --passin pass:x NoStashFile
expect 0 '^30054: ' ExtractCert KeyFile=old.kyr EntryLabel=o CertFile=old.crt --passin pass:x
if command -v openssl >/dev/null; then
  openssl x509 -in now.crt -noout -text >now.txt && grep -q 'sha256WithRSAEncryption' now.txt &&
    grep -q '(2048 bit)' now.txt && grep -q 'CA:TRUE' now.txt || fail "not SHA-256, 2048 bits, CA: $(cat now.txt)"
  openssl x509 -in old.crt -noout -text >old.txt && grep -q 'md5WithRSAEncryption' old.txt &&
    grep -q '(512 bit)' old.txt && ! grep -q 'X509v3' old.txt || fail "Digest=MD5 KeySize=512 changed: $(cat old.txt)"
fi
expect 1 '^30080: .*"SHA-1"' SignCert KeyFile=ca.kyr UseStash CertReqFile=web.csr CertFile=x.crt Digest=SHA-1
# Old and new password from one file: first and second line; the stash follows.
printf 'web=secret\nnew secret\n' >change.pass
expect 0 '^30060: ' ChangePassword KeyFile=web.kyr --passin file:change.pass --newpassin file:change.pass
expect 1 '^30009: ' ExtractCert KeyFile=web.kyr --passin file:web.pass
expect 0 '^30054: ' ExtractCert KeyFile=web.kyr --passin 'pass:new secret'
expect 0 '^30054: ' ExtractCert KeyFile=web.kyr UseStash

# The tool is strict where the library is lenient: numbers are decimal digits, an item has a keyword.
for item in ValidDays=abc ValidDays=0x10 "ValidDays=5 days" KeySize=1024x =x; do
  expect_usage SignCert KeyFile=ca.kyr UseStash CertReqFile=web.csr CertFile=x.crt "$item"
  grep -qF "\"$item\"" err || fail "the refusal of $item does not name it: $(cat err)"
done
[ ! -e x.crt ] || fail "a refused command line ran"
# A keyword the command does not read is accepted, with a warning.
expect 0 '^30054: ' ExtractCert KeyFile=ca.kyr UseStash ShowPrivateKey
grep -q 'warning: ExtractCert does not read ShowPrivateKey' err || fail "no warning for an unread keyword"
# "-" names standard output; the message line then goes to errors.
"$KCERTADM" ExtractCert KeyFile=ca.kyr UseStash CertFile=- >out 2>err || fail "ExtractCert CertFile=- failed"
cmp -s out ca.crt || fail "CertFile=- wrote \"$(cat out)\""
grep -q '^30054: ' err || fail "no message line with CertFile=-: $(cat err)"
"$KCERTADM" GetEntries KeyFile=ca.kyr UseStash Entr=- ShowPrivateKey >out 2>err || fail "GetEntries Entr=- failed"
grep -q '^EntryLabel: ca$' out || fail "EntriesFile=- wrote \"$(cat out)\""
"$KCERTADM" ExtractCert KeyFile=ca.kyr UseStash EntryLabel=none CertFile=- >out 2>err
[ $? -eq 1 ] && [ ! -s out ] && grep -q '^30026: ' err || fail "a failed CertFile=- wrote \"$(cat out)\""
[ ! -e ./- ] || fail "a file named - was written"
# COMMAND --help is help COMMAND.
expect 0 '^kcertadm ExtractCert - ' ExtractCert --help
expect_usage NoSuchCommand --help
# A report without entries says why: every entry holds a private key.
expect 0 '^30053: ' GetEntries KeyFile=weak.kyr EntriesFile=weak.txt --passin pass:x
[ ! -s weak.txt ] || fail "the key entry was listed without ShowPrivateKey"
grep -q '1 entry .* private key.*ShowPrivateKey' err || fail "no note on the empty report: $(cat err)"
expect 0 '^30053: ' GetEntries KeyFile=web.kyr EntriesFile=web.txt UseStash
! grep -q 'note:' err || fail "a note on a report that lists entries"
# Keys out and in: the file password from --filepassin, never empty for an export, given once only; the key file
# is the owner's alone; the imported key is labelled by its common name.
expect 0 '^30099: ' ExportKey KeyFile=web.kyr EntryLabel=web CertFile=web.p12 --passin 'pass:new secret' \
       --filepassin 'pass:file secret'
[ "$(stat -c %a web.p12)" = 600 ] || fail "the key file has mode $(stat -c %a web.p12)"
expect_usage ExportKey KeyFile=web.kyr UseStash CertFile=x.p12 --filepassin pass:
expect_usage ExportKey KeyFile=web.kyr UseStash CertFile=x.p12 FilePassword=a --filepassin pass:b
expect_usage GetEntries KeyFile=web.kyr UseStash EntriesFile=x.txt --filepassin pass:b
[ ! -e x.p12 ] && [ ! -e x.txt ] || fail "a refused command line wrote a file"
expect 1 '^30097: ' ExportKey KeyFile=web.kyr UseStash CertFile=x.p12
expect 1 '^30088: ' ImportKey KeyFile=rooted.kyr CertReqFile=web.p12 --passin pass:x --filepassin pass:wrong
expect 0 '^30098: ' ImportKey KeyFile=rooted.kyr CertReqFile=web.p12 --passin pass:x \
       --filepassin 'pass:file secret'
expect 0 '^30053: ' GetEntries KeyFile=rooted.kyr EntriesFile=imported.txt ShowPrivateKey --passin pass:x
grep -q '^EntryLabel: www.example.com$' imported.txt || fail "the key was not labelled by its common name"
expect 0 '^  \* FilePassword=TEXT' help ExportKey
finish
