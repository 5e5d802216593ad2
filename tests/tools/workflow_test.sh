#!/bin/sh
# Follows docs/getting-started.md as a new user would, with the passwords in
# files instead of typed, and checks each step's message; then the openssl
# commands of docs/interop.md on the files made.
# usage: workflow_test.sh KCERTADM
set -u
KCERTADM=$1
failures=0
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kcertadm-workflow.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1
unset HeronResLang KCERTADM_DATA_DIR KCERTADM_ROOTS
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

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
step 30040 SignCert KeyFile=ca.kyr CertReqFile=web.csr CertFile=web.crt ValidDays=365 \
     --passin file:ca.pass
step 30054 ExtractCert KeyFile=ca.kyr EntryLabel=ca CertFile=ca.crt --passin file:ca.pass
step 30030 ReceiveRootCert KeyFile=web.kyr CertReqFile=ca.crt EntryLabel=example-ca \
     --passin file:web.pass
step 30025 ReceiveCert KeyFile=web.kyr CertReqFile=web.crt --passin file:web.pass
for file in ca.kyr ca.sth web.kyr web.sth; do
  [ "$(stat -c %a "$file")" = 600 ] || fail "$file is not readable by its owner only"
done

# The listing of step 5 and the viewing of a certificate.
step 30053 GetEntries KeyFile=web.kyr EntriesFile=web.txt ShowPrivateKey --passin file:web.pass
for line in 'EntryLabel: web' 'EntryLabel: example-ca' 'SubjectCommonName: www.example.com' \
            'IssuerCommonName: Example CA' 'PrivateKey: yes' 'TrustedRoot: yes' 'KeySize: 2048'; do
  grep -q "^$line\$" web.txt || fail "the report lacks \"$line\""
done
step 30054 ViewCert CertReqFile=web.crt EntriesFile=web.der WriteBinary
step 30054 ViewCert CertReqFile=web.der EntriesFile=view.txt UseBER
grep -q '^SubjectCommonName: www.example.com$' view.txt || fail "ViewCert of DER reports no subject"

# The stash file opens the key ring; a wrong password does not.
step 30054 ExtractCert KeyFile=web.kyr EntryLabel=web CertFile=web2.crt UseStash
cmp -s web.crt web2.crt || fail "the certificate extracted differs from the one signed"
step 30009 ExtractCert KeyFile=web.kyr --passin pass:wrong

# A weak key is created, with a warning.
step 30020 CreateKeyFile KeyFile=weak.kyr KeyName=w CommonName=w --passin pass:x NoStashFile
grep -q 'warning:.* 512 bits' err || fail "no warning for a 512-bit key: $(cat err)"
[ ! -e weak.sth ] || fail "NoStashFile wrote a stash file"

# Old and new password from one file: first and second line.
printf 'web=secret\nnew;secret\n' >change.pass
"$KCERTADM" ChangePassword KeyFile=web.kyr --passin file:change.pass \
    --newpassin file:change.pass </dev/null >out 2>err
[ $? -eq 2 ] || fail "a new password with \";\" was not refused"
printf 'web=secret\nnew secret\n' >change.pass
step 30060 ChangePassword KeyFile=web.kyr --passin file:change.pass --newpassin file:change.pass
step 30009 ExtractCert KeyFile=web.kyr --passin file:web.pass
step 30054 ExtractCert KeyFile=web.kyr --passin 'pass:new secret'
step 30054 ExtractCert KeyFile=web.kyr UseStash

# What openssl makes of our files.
if command -v openssl >/dev/null; then
  openssl x509 -in web.crt -noout -subject 2>/dev/null | grep -q 'CN *= *www.example.com' ||
    fail "openssl x509 does not read web.crt"
  openssl req -in web.csr -noout -verify >/dev/null 2>&1 || fail "openssl req does not read web.csr"
  openssl x509 -inform DER -in web.der -noout >/dev/null 2>&1 ||
    fail "openssl x509 does not read the DER that ViewCert wrote"
  openssl req -new -newkey rsa:2048 -nodes -keyout client.key -sha1 \
      -subj "/CN=client.example.com" -out client.csr 2>/dev/null
  step 30040 SignCert KeyFile=ca.kyr CertReqFile=client.csr CertFile=client.crt UseStash
  openssl x509 -in client.crt -noout -issuer 2>/dev/null | grep -q 'Example CA' ||
    fail "openssl x509 does not read a certificate signed for an openssl request"
  openssl req -new -newkey rsa:2048 -nodes -keyout c2.key -sha256 \
      -subj "/CN=c2.example.com" -out c2.csr 2>/dev/null
  step 30055 SignCert KeyFile=ca.kyr CertReqFile=c2.csr CertFile=c2.crt UseStash
  openssl req -x509 -newkey rsa:2048 -nodes -keyout o.key -subj /CN=other-ca \
      -out other.pem 2>/dev/null
  step 30025 ReceiveCert KeyFile=web.kyr CertReqFile=other.pem EntryLabel=other-ca NoTrust UseStash
  step 30031 DesignateRoot KeyFile=web.kyr EntryLabel=other-ca UseStash
  openssl x509 -in other.pem -outform DER -out other.der
  step 30067 ReceiveCert KeyFile=web.kyr CertReqFile=other.der EntryLabel=again UseBER NoTrust UseStash
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "workflow checks passed"
