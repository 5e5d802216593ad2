#!/bin/bash
# Runs the bash completion function on typed lines and checks the offers.
# usage: completion_test.sh COMPLETION_SCRIPT KCERTADM_DIR
set -u
source "$1"
PATH=$2:$PATH
. "$(dirname "$0")/test_lib.sh"
cd "$WORK" && touch web.kyr web.csr

# offers LINE EXPECTED...: completing at the end of LINE offers exactly
# EXPECTED (in any order); bash splits words at "=" as it does by default.
offers() {
  local line=$1
  shift
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMP_WORDBREAKS=$' \t\n"\'><=;|&(:'
  local split=${line//=/ = }
  read -r -a COMP_WORDS <<<"$split"
  [[ $line == *[[:space:]=] ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _kcertadm
  local got want
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
  want=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
  [[ $got == "$want" ]] || fail "\"$line\": offered [$got], wanted [$want]"
}

offers "kcertadm CreateS" CreateSelfSigned CreateSelfSignedRoot
offers "kcertadm help Rec" ReceiveCert ReceiveRootCert
offers "kcertadm --pass" --passin
offers "kcertadm --passin f" file: fd:
offers "kcertadm --filepassin f" file: fd:
offers "kcertadm --passin pass:x Del" DeleteEntry
offers "kcertadm GetEntries Ent" EntriesFile=
offers "kcertadm GetEntries Show" ShowPrivateKey ShowRawCert
offers "kcertadm GetEntries KeyFile=we" web.kyr web.csr
offers "kcertadm GetEntries Password="
offers "kcertadm NoSuchCommand Ke"
finish
