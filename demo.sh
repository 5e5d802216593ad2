#!/usr/bin/env bash
# Builds the tool and runs the main job on a built-in example, in a fresh
# directory: a certification authority with a self-signed root, a server
# key ring with a certificate request, the request signed by the root, the
# root and the certificate received by the server, and the certificate
# extracted again. Every step shows the tool's message.
source "$(dirname "$0")/scripts/common.sh"
install_missing_packages
build_project >/dev/null
KCERTADM="$KCERTADM_BUILD/kcertadm"
DEMO_DIR="$(mktemp -d "${TMPDIR:-/tmp}/kcertadm-demo.XXXXXX")"
cd "$DEMO_DIR"
echo "demo directory: $DEMO_DIR"
echo

run() {
  echo "\$ kcertadm $(printf "%q " "$@")"
  "$KCERTADM" "$@" && status=0 || status=$?
  echo "(exit status $status)"
  echo
}

show() {
  echo "--- $1"
  cat "$1"
  echo
  echo "---"
  echo
}

CA=(KeyFile=ca.kyr Password=ca-secret)
SERVER=(KeyFile=server.kyr Password=server-secret)

# The library answers.
run AdminSecurity

# 1. The certification authority: a key ring whose key has a self-signed
#    certificate marked as trusted root; its certificate goes out as ca.arm.
run CreateSelfSignedRoot "${CA[@]}" KeyName=DemoCA "CommonName=Demo Root CA" Org=Demo Country=US
run ExtractCert "${CA[@]}" EntryLabel=DemoCA CertFile=ca.arm

# 2. The server: a key ring with a new key pair and a request for it.
run CreateKeyFile "${SERVER[@]}" KeyName=server CommonName=www.example.com Org=Example \
    City=Springfield State=Illinois Country=US CertReqFile=server.arm
show server.arm

# 3. The authority signs the request.
run SignCert "${CA[@]}" CertReqFile=server.arm CertFile=server.crt ValidDays=90

# 4. The server takes the root first, then its own certificate.
run ReceiveRootCert "${SERVER[@]}" CertReqFile=ca.arm "EntryLabel=Demo Root CA"
run ReceiveCert "${SERVER[@]}" CertReqFile=server.crt

# 5. The server's certificate comes out of its key ring again; the stash file
#    stands in for the password.
run ExtractCert KeyFile=server.kyr UseStash CertFile=extracted.crt
show extracted.crt
if command -v openssl >/dev/null 2>&1; then
  echo "\$ openssl x509 -in extracted.crt -noout -subject -issuer -dates"
  openssl x509 -in extracted.crt -noout -subject -issuer -dates
  echo
fi

# Refusals leave the key ring as it was: the wrong password, and an output
# name that is the key ring itself.
run ExtractCert KeyFile=server.kyr Password=wrong CertFile=x.crt
run ExtractCert "${SERVER[@]}" CertFile=./server.kyr

# 6. What the server's key ring holds, key entry included, and the extracted
#    certificate read back as a report.
run GetEntries "${SERVER[@]}" ShowPrivateKey EntriesFile=entries.txt
show entries.txt
run ViewCert CertReqFile=extracted.crt EntriesFile=view.txt
show view.txt

echo "files:"
ls -l
