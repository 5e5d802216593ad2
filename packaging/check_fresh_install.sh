#!/bin/bash
# Release check: installs the Debian package on a fresh Debian root and uses
# it as a new user would, by the installed documents alone.
#
#   1. a minimal root made by debootstrap; the package installs there with
#      what it declares and nothing else, and the tool, its catalogues,
#      `man kcertadm` and the bash completion (typed on a terminal) work;
#   2. every `$ kcertadm` step of getting-started.md is typed on a terminal
#      with the passwords typed at the prompts, and must print what the
#      document shows; then the script forms and the openssl commands of
#      interop.md;
#   3. the host example is built against the installed package through its
#      CMake package and through pkg-config, and finds the catalogues.
#
# Needs root, network, debootstrap and tmux.
# usage: check_fresh_install.sh BUILD_DIR|PACKAGE_DIR [ROOT_DIR]
#   BUILD_DIR: a configured build tree; the packages are made there by cpack.
#   PACKAGE_DIR: a folder holding kcertadm_*.deb and libkcertadm<N>_*.deb.
#   ROOT_DIR:  where the fresh root goes (default: a new temporary folder);
#              it must not exist yet, and is removed at the end unless
#              KEEP_ROOT=1.
#   SUITE (bookworm), MIRROR (http://deb.debian.org/debian): what to bootstrap.
#   ROOT_CACHE=FILE.tgz: unpack the fresh root from there, or save it there
#              after bootstrapping, to save the download on later runs.
set -u
SUITE=${SUITE:-bookworm}
MIRROR=${MIRROR:-http://deb.debian.org/debian}
USER_NAME=kcuser
SOCKET=kcertadm-check-$$
failures=0
ok() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
die() { echo "check_fresh_install: $*" >&2; exit 2; }

[ $# -ge 1 ] || die "usage: $0 BUILD_DIR|PACKAGE_DIR [ROOT_DIR]"
[ "$(id -u)" -eq 0 ] || die "must run as root (debootstrap, chroot)"
for tool in debootstrap tmux dpkg-deb; do
  command -v $tool >/dev/null || die "needs $tool (apt-get install $tool)"
done

# The packages: the tool and the library it depends on, given or made in
# the build tree.
[ -d "$1" ] || die "$1 is no folder"
if [ -f "$1/CPackConfig.cmake" ]; then
  (cd "$1" && cpack -G DEB >/dev/null) || die "cpack failed in $1"
fi
DEB=$(ls -t "$1"/kcertadm_*.deb 2>/dev/null | head -n 1)
[ -f "$DEB" ] || die "no kcertadm_*.deb in $1"
DEB=$(realpath "$DEB")
VERSION=$(dpkg-deb -f "$DEB" Version)
LIB_DEB=$(realpath "$(dirname "$DEB")/libkcertadm${VERSION%%.*}_${VERSION}_$(dpkg-deb -f "$DEB" Architecture).deb")
[ -f "$LIB_DEB" ] || die "no library package $LIB_DEB beside $DEB"
echo "packages: $DEB $LIB_DEB ($VERSION)"

ROOT=${2:-$(mktemp -u "${TMPDIR:-/tmp}/kcertadm-fresh.XXXXXX")}
[ ! -e "$ROOT" ] || die "$ROOT exists already; give a new folder"
mkdir -p "$ROOT"
ROOT=$(realpath "$ROOT")

mounted=()
cleanup() {
  tmux -L "$SOCKET" kill-server 2>/dev/null
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" || umount -l "${mounted[i]}"; done
  if [ "${KEEP_ROOT:-0}" = 1 ]; then
    echo "the root is kept in $ROOT"
  elif grep -q " $ROOT/" /proc/mounts; then
    echo "something is still mounted under $ROOT; not removing it" >&2
  else
    rm -rf "$ROOT"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- 1. A fresh root and the package in it -----------------------------------

if [ -n "${ROOT_CACHE:-}" ] && [ -f "$ROOT_CACHE" ]; then
  tar -C "$ROOT" -xzf "$ROOT_CACHE" || die "cannot unpack $ROOT_CACHE"
else
  debootstrap --variant=minbase "$SUITE" "$ROOT" "$MIRROR" >"$ROOT.debootstrap.log" 2>&1 ||
    die "debootstrap failed; see $ROOT.debootstrap.log"
  rm -f "$ROOT.debootstrap.log"
  [ -z "${ROOT_CACHE:-}" ] || tar -C "$ROOT" -czf "$ROOT_CACHE" .
fi
for point in proc dev dev/pts; do
  if [ $point = proc ]; then mount -t proc proc "$ROOT/proc"; else mount --bind /$point "$ROOT/$point"; fi ||
    die "cannot mount $point"
  mounted+=("$ROOT/$point")
done
cp /etc/resolv.conf "$ROOT/etc/resolv.conf"
cp "$DEB" "$LIB_DEB" "$ROOT/tmp/"

in_root() { chroot "$ROOT" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
as_user() { chroot "$ROOT" /bin/su - "$USER_NAME" -c "$1"; }
apt_install() {
  in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$@" >"$ROOT/tmp/apt.log" 2>&1 ||
    { tail -n 20 "$ROOT/tmp/apt.log"; die "apt-get install $* failed"; }
}

in_root apt-get update -q >/dev/null || die "apt-get update failed in the root"
in_root dpkg-query -W -f '${Package}\n' | sort >"$ROOT/tmp/before"
apt_install "/tmp/$(basename "$DEB")" "/tmp/$(basename "$LIB_DEB")"
added=$(in_root dpkg-query -W -f '${Package}\n' | sort | comm -13 "$ROOT/tmp/before" - | tr '\n' ' ')
echo "installed with the package: $added"
[ "$(in_root dpkg-query -W -f '${Status}' kcertadm)" = "install ok installed" ] &&
  ok "the package installs on a fresh $SUITE root" || fail "the package is not installed"
missing=$(in_root sh -c "ldd /usr/bin/kcertadm /usr/lib/*/libkcertadm.so.${VERSION%%.*}" 2>&1 | grep 'not found')
[ -z "$missing" ] && ok "every shared library it needs is there" || fail "missing libraries: $missing"

out=$(in_root kcertadm --version)
[ "$out" = "kcertadm $VERSION" ] && ok "kcertadm --version: $out" || fail "--version printed \"$out\""
out=$(in_root sh -c 'cd /tmp && kcertadm AdminSecurity')
[ "$out" = "30065: Key ring administration is available." ] && ok "catalogue found: $out" ||
  fail "AdminSecurity printed \"$out\""
out=$(in_root sh -c 'cd /tmp && HeronResLang=de kcertadm AdminSecurity')
case $out in *verfügbar*) ok "German catalogue found: $out" ;; *) fail "German: \"$out\"" ;; esac

apt_install man-db
page=$(in_root sh -c 'MANWIDTH=80 man --warnings kcertadm 2>&1')
if printf '%s\n' "$page" | grep -q '^NAME' && printf '%s\n' "$page" | grep -q '^EXAMPLES'; then
  warnings=$(printf '%s\n' "$page" | grep -i 'warning' | head -n 3)
  [ -z "$warnings" ] && ok "man kcertadm renders ($(printf '%s\n' "$page" | wc -l) lines)" ||
    fail "man page warnings: $warnings"
else
  fail "man kcertadm did not render: $(printf '%s\n' "$page" | head -n 3)"
fi

# --- A new user on a terminal --------------------------------------------------

in_root useradd -m -s /bin/bash "$USER_NAME" || die "cannot add $USER_NAME"
tmux -L "$SOCKET" new-session -d -s user -x 200 -y 50 "chroot $ROOT /bin/su - $USER_NAME" ||
  die "cannot start tmux"
pane() { tmux -L "$SOCKET" capture-pane -p -J -t user -S -300; }
keys() { tmux -L "$SOCKET" send-keys -t user "$@"; }
# wait_for TEXT [COUNT] [SECONDS]: until the pane shows TEXT COUNT times.
wait_for() {
  local text=$1 count=${2:-1} left=$((${3:-60} * 5))
  while ((left-- > 0)); do
    (($(pane | grep -cF -- "$text") >= count)) && return 0
    sleep 0.2
  done
  return 1
}
fresh_screen() {
  keys -l 'clear' && keys Enter && sleep 0.5
  tmux -L "$SOCKET" clear-history -t user
}
wait_for "$USER_NAME@" 1 20 || die "no shell prompt for $USER_NAME"
keys -l 'mkdir -p ~/first && cd ~/first' && keys Enter

# Bash completion: the commands, then the keywords of a command. The first
# Tab may load the completion file, so give it time. Readline lists the
# choices at the second Tab that adds nothing to the line.
fresh_screen
keys -l 'kcertadm Cre' && keys Tab && sleep 1
wait_for 'kcertadm Create' 1 5 && ok "completion: Cre<Tab> gives Create" ||
  fail "completion of \"kcertadm Cre\": $(pane | grep -v '^$' | tail -n 1)"
keys Tab && sleep 0.5 && keys Tab
if wait_for CreateSelfSignedRoot 1 5 && wait_for CreateCertReq 1 1; then
  ok "completion offers the commands: $(pane | grep -F CreateCertReq | tr -s ' ')"
else
  fail "completion of \"kcertadm Create\": $(pane | grep -v '^$' | tail -n 2 | tr '\n' '|')"
fi
keys C-u && fresh_screen
keys -l 'kcertadm GetEntries Entr' && keys Tab && sleep 1
wait_for 'GetEntries EntriesFile=' 1 5 && ok "completion of a keyword prefix" ||
  fail "completion of \"kcertadm GetEntries Entr\": $(pane | grep -v '^$' | tail -n 1)"
keys C-u

# --- 2. getting-started.md, step by step ----------------------------------------

GUIDE=$ROOT/usr/share/doc/kcertadm/docs/getting-started.md
[ -f "$GUIDE" ] || die "the package holds no getting-started.md"
# The guide's code blocks as lines "B" (a block starts), "C<TAB>command" for
# each "$ " line (joined over "\" line ends) and "O<TAB>line" for each line
# shown after it.
steps=$(awk '
  /^ *```/ { inblock = !inblock; command = ""; if (inblock) print "B"; next }
  !inblock { next }
  { sub(/^ +/, "") }
  command != "" { command = command " " $0; sub(/ *\\$/, "", command)
                  if ($0 !~ /\\$/) { print "C\t" command; command = "" }; next }
  /^\$ / { line = substr($0, 3)
           if (line ~ /\\$/) { command = line; sub(/ *\\$/, "", command) } else print "C\t" line; next }
  { print "O\t" $0 }' "$GUIDE")
password_for() {  # a password of its own for each key ring
  local ring=${1##*KeyFile=}
  ring=${ring%% *}
  echo "Typed+${ring%.kyr}-pw 1"
}
typed=()
run_step() {  # COMMAND, then the lines the guide shows for it
  local command=$1 prompts=0 line last=""
  shift
  fresh_screen
  keys -l "$command" && keys Enter
  for line in "$@"; do
    case $line in
      *password:)
        prompts=$((prompts + 1))
        if ! wait_for "password:" $prompts 30; then
          fail "\"$command\": no prompt \"$line\"; $(pane | grep -v '^$' | tail -n 2 | tr '\n' '|')"
          keys C-c
          return
        fi
        keys -l "$(password_for "$command")" && keys Enter
        typed+=("$(password_for "$command")")
        ;;
      *) last=$line ;;
    esac
  done
  if [ -z "$last" ]; then  # nothing to wait for: wait for the shell
    keys -l 'echo step-done-$((6 * 7))' && keys Enter
    last=step-done-42
  fi
  if wait_for "$last" 1 120; then
    ok "$command -> $last"
  else
    fail "\"$command\" printed $(pane | grep -v '^$' | tail -n 2 | tr '\n' '|'), the guide shows \"$last\""
  fi
}
current=()
while IFS=$'\t' read -r kind text; do
  case $kind in
    B) [ ${#current[@]} -eq 0 ] || run_step "${current[@]}"; current=() ;;
    C) [ ${#current[@]} -eq 0 ] || run_step "${current[@]}"; current=("$text") ;;
    O) [ ${#current[@]} -eq 0 ] || current+=("$text") ;;
  esac
done <<<"$steps"
[ ${#current[@]} -eq 0 ] || run_step "${current[@]}"
[ ${#typed[@]} -ge 2 ] || fail "the guide asked for no password on the terminal"
shown=$(pane)
for password in "${typed[@]}"; do
  case $shown in *"$password"*) fail "a typed password was shown on the terminal" ;; esac
done
home=/home/$USER_NAME/first
report=$ROOT$home/web.txt
for line in "EntryLabel: web" "EntryLabel: example-ca" "TrustedRoot: yes" "PrivateKey: yes" \
            "KeySize: 2048" "IssuerCommonName: Example CA"; do
  grep -qx "$line" "$report" 2>/dev/null || fail "web.txt lacks \"$line\""
done
[ "$(stat -c %a "$ROOT$home/ca.kyr" "$ROOT$home/ca.sth" 2>/dev/null | sort -u)" = 600 ] &&
  ok "key ring and stash file are owner-only" || fail "ca.kyr or ca.sth is not mode 600"

# The script forms of the guide, without a terminal.
web_pw=$(password_for KeyFile=web.kyr)
out=$(as_user "cd first && kcertadm GetEntries KeyFile=web.kyr EntriesFile=s.txt UseStash")
[ "$out" = "30053: The key ring entries were listed." ] && ok "UseStash" || fail "UseStash: $out"
printf '%s\n' "$web_pw" >"$ROOT$home/web.pass" && chroot "$ROOT" chown "$USER_NAME" "$home/web.pass"
out=$(as_user "cd first && kcertadm GetEntries KeyFile=web.kyr EntriesFile=s.txt --passin file:web.pass")
[ "$out" = "30053: The key ring entries were listed." ] && ok "--passin file:" || fail "--passin file: $out"
out=$(as_user "cd first && KCERTADM_PW='$web_pw' kcertadm GetEntries KeyFile=web.kyr EntriesFile=s.txt --passin env:KCERTADM_PW")
[ "$out" = "30053: The key ring entries were listed." ] && ok "--passin env:" || fail "--passin env: $out"
out=$(as_user "cd first && kcertadm GetEntries KeyFile=web.kyr EntriesFile=s.txt </dev/null 2>/dev/null")
[ "${out%%:*}" = 30003 ] && ok "no terminal, no password: $out" || fail "without a terminal: $out"

# interop.md with the root's openssl.
apt_install openssl
interop=$(as_user "cd first && set -e
  kcertadm ExtractCert KeyFile=web.kyr EntryLabel=web CertFile=web.crt --passin file:web.pass >/dev/null
  openssl x509 -in web.crt -noout -subject -issuer
  openssl x509 -in web.crt -outform DER -out web.der
  kcertadm ViewCert CertReqFile=web.crt EntriesFile=web-view.der WriteBinary >/dev/null
  cmp web.der web-view.der
  openssl req -in web.csr -noout -verify 2>&1
  openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -subj /CN=Other\ CA -days 30 -out other-ca.pem 2>/dev/null
  openssl req -x509 -newkey rsa:2048 -nodes -keyout peer.key -subj /CN=peer -days 30 -outform DER -out cert.der 2>/dev/null
  kcertadm ReceiveCert KeyFile=web.kyr CertReqFile=other-ca.pem EntryLabel=other-ca NoTrust UseStash
  kcertadm DesignateRoot KeyFile=web.kyr EntryLabel=other-ca UseStash
  kcertadm ReceiveCert KeyFile=web.kyr CertReqFile=cert.der EntryLabel=peer UseBER NoTrust UseStash
  openssl req -new -newkey rsa:2048 -nodes -keyout client.key -sha1 -subj /CN=client.example.com -out client.csr 2>/dev/null
  kcertadm SignCert KeyFile=ca.kyr CertReqFile=client.csr CertFile=client.crt UseStash
  openssl x509 -in client.crt -noout -issuer
  openssl req -new -newkey rsa:2048 -nodes -keyout sha256.key -subj /CN=sha256 -out sha256.csr 2>/dev/null
  kcertadm SignCert KeyFile=ca.kyr CertReqFile=sha256.csr CertFile=sha256.crt UseStash || true" 2>&1)
expected="subject=O = Example Ltd, CN = www.example.com
issuer=O = Example Ltd, CN = Example CA
Certificate request self-signature verify OK
30025: The certificate was received into the key ring.
30031: The entry was designated as a trusted root.
30025: The certificate was received into the key ring.
30040: The certificate was signed.
issuer=O = Example Ltd, CN = Example CA
30055: A signature did not verify."
[ "$interop" = "$expected" ] && ok "interop.md with $(in_root openssl version | cut -d' ' -f1-2)" ||
  fail "interop.md: got
$interop"

# --- 3. A project of its own against the installed package ------------------------

apt_install g++ cmake pkg-config make
consumer=$(as_user 'set -e
  mkdir -p ~/myhost && cd ~/myhost
  cp /usr/share/doc/kcertadm/docs/host_example.c myhost.c
  printf "%s\n" "cmake_minimum_required(VERSION 3.20)" "project(myhost LANGUAGES C)" \
    "find_package(kcertadm 0.1 CONFIG REQUIRED)" "add_executable(myhost myhost.c)" \
    "target_link_libraries(myhost PRIVATE kcertadm::kcertadm)" >CMakeLists.txt
  cmake -S . -B build >build.log 2>&1 && cmake --build build >>build.log 2>&1 || { cat build.log; exit 1; }
  cc myhost.c $(pkg-config --cflags --libs kcertadm) -o myhost-pc
  cd /tmp
  ~/myhost/build/myhost AdminSecurity ""
  HeronResLang=de ~/myhost/myhost-pc AdminSecurity ""
  ~/myhost/myhost-pc NoSuchCommand "" || echo "exit $?"' 2>&1)
expected="Key ring administration is available.
Die Schlüsselring-Verwaltung ist verfügbar.
The command is not known.
exit 1"
[ "$consumer" = "$expected" ] &&
  ok "consumer built through find_package and pkg-config; catalogues found beside the library" ||
  fail "consumer: got
$consumer"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "fresh install checks passed"
