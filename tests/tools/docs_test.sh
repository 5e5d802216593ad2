#!/bin/sh
# The man page renders without warnings, and the man page and the command
# reference speak of every command and every message the tool knows.
# usage: docs_test.sh KCERTADM SOURCE_DIR
set -u
KCERTADM=$1
SOURCE=$2
. "$(dirname "$0")/test_lib.sh"

if command -v groff >/dev/null; then
  warnings=$(groff -man -Tutf8 -ww -z "$SOURCE/docs/kcertadm.1" 2>&1)
  [ -z "$warnings" ] || fail "man page warnings: $warnings"
  groff -man -Tutf8 "$SOURCE/docs/kcertadm.1" 2>/dev/null | sed 's/.\x08//g' >"$WORK/man.txt"
  for heading in NAME SYNOPSIS COMMANDS PASSWORDS ENVIRONMENT "EXIT STATUS" EXAMPLES; do
    grep -q "^$heading" "$WORK/man.txt" || fail "man page lacks $heading"
  done
fi
for command in $("$KCERTADM" --commands); do
  grep -q "^\.B $command\$" "$SOURCE/docs/kcertadm.1" || fail "man page lacks $command"
  grep -q "^## $command\$" "$SOURCE/docs/commands.md" || fail "commands.md lacks $command"
done
for number in $(awk '/^300[0-9][0-9] / { print $1 }' "$SOURCE/messages/kmsglib.msg"); do
  grep -q "^| $number |" "$SOURCE/docs/messages.md" || fail "messages.md lacks $number"
done
for doc in commands messages file-formats c-interface settings interop getting-started; do
  grep -q "docs/$doc.md" "$SOURCE/README.md" || fail "README does not link $doc.md"
done
finish
