#!/bin/sh
# Walks the main steps of docs/getting-started.md with the passwords in
# files instead of typed: each step's message, the weak-key warning and a
# password change from one file, on real key rings.
# usage: workflow_test.sh KCERTADM
set -u
KCERTADM=$1
. "$(dirname "$0")/test_lib.sh"
cd "$WORK" || exit 1
unset KCERTADM_DATA_DIR KCERTADM_ROOTS

# step NUMBER ARGS...: runs the tool, which must print message NUMBER.
step() {
  want=$1
  shift
  "$KCERTADM" "$@" </dev/null >out 2>err
  grep -q "^$want: " out || fail "kcertadm $*: \"$(cat out)\" $(cat err), wanted $want"
}

printf 'ca secret\n' >ca.pass
printf 'web=secret\n' >web.pass
step 30029 CreateSelfSignedRoot KeyFile=ca.kyr KeyName=ca "CommonName=Example CA" \
     "Org=Example Ltd" KeySize=2048 ValidDays=3650 --passin file:ca.pass
! grep -q warning err || fail "a warning for a 2048-bit key"
step 30020 CreateKeyFile KeyFile=web.kyr KeyName=web CommonName=www.example.com \
     "Org=Example Ltd" KeySize=2048 CertReqFile=web.csr --passin file:web.pass
step 30040 SignCert KeyFile=ca.kyr CertReqFile=web.csr CertFile=web.crt ValidDays=365 --passin file:ca.pass
step 30054 ExtractCert KeyFile=ca.kyr EntryLabel=ca CertFile=ca.crt UseStash
step 30030 ReceiveRootCert KeyFile=web.kyr CertReqFile=ca.crt EntryLabel=example-ca --passin file:web.pass
step 30025 ReceiveCert KeyFile=web.kyr CertReqFile=web.crt UseStash
step 30009 ExtractCert KeyFile=web.kyr --passin pass:wrong
# A weak key is created, with a warning.
step 30020 CreateKeyFile KeyFile=weak.kyr KeyName=w CommonName=w --passin pass:x NoStashFile
grep -q 'warning:.* 512 bits' err || fail "no warning for a 512-bit key: $(cat err)"
# Old and new password from one file: first and second line.
printf 'web=secret\nnew secret\n' >change.pass
step 30060 ChangePassword KeyFile=web.kyr --passin file:change.pass --newpassin file:change.pass
step 30009 ExtractCert KeyFile=web.kyr --passin file:web.pass
step 30054 ExtractCert KeyFile=web.kyr --passin 'pass:new secret'
step 30054 ExtractCert KeyFile=web.kyr UseStash
finish
