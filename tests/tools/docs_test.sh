#!/bin/sh
# The man page renders without warnings, and the man page and the command
# reference speak of every command and every message the tool knows.
# usage: docs_test.sh KCERTADM SOURCE_DIR
set -u
KCERTADM=$1
SOURCE=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if command -v groff >/dev/null; then
  warnings=$(groff -man -Tutf8 -ww -z "$SOURCE/docs/kcertadm.1" 2>&1)
  [ -z "$warnings" ] || fail "man page warnings: $warnings"
  rendered=$(groff -man -Tutf8 "$SOURCE/docs/kcertadm.1" 2>/dev/null | sed 's/.\x08//g')
  for heading in NAME SYNOPSIS COMMANDS PASSWORDS ENVIRONMENT "EXIT STATUS" EXAMPLES; do
    printf '%s\n' "$rendered" | grep -q "^$heading" || fail "man page lacks $heading"
  done
fi
for command in $("$KCERTADM" --commands); do
  grep -q "^\.B $command\$" "$SOURCE/docs/kcertadm.1" || fail "man page lacks $command"
  grep -q "^## $command\$" "$SOURCE/docs/commands.md" || fail "commands.md lacks $command"
done
for number in $(awk '/^300[0-9][0-9] / { print $1 }' "$SOURCE/messages/kmsglib.msg"); do
  grep -q "^| $number |" "$SOURCE/docs/messages.md" || fail "messages.md lacks $number"
done
for doc in commands.md messages.md file-formats.md c-interface.md settings.md interop.md \
           getting-started.md; do
  grep -q "docs/$doc" "$SOURCE/README.md" || fail "README does not link $doc"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "documentation checks passed"
