#!/bin/sh
# Lints manual pages: groff with every warning on must have nothing to say about them, for the
# typesetter and for the terminal that man(1) renders to.
# usage: manpage_lint.sh PAGE...
set -u

if ! command -v groff >/dev/null 2>&1; then
  echo "groff is not installed: manual pages not linted"
  exit 77
fi

status=0
for page in "$@"; do
  for device in ps utf8; do
    if [ "$device" = ps ] && ! groff -T ps -z /dev/null >/dev/null 2>&1; then
      continue  # groff-base alone has no PostScript device
    fi
    warnings=$(groff -man -ww -z -T "$device" "$page" 2>&1)
    if [ $? -ne 0 ] || [ -n "$warnings" ]; then
      echo "$page ($device):"
      echo "$warnings"
      status=1
    fi
  done
  # Every page has the sections a reader looks for.
  for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" EXAMPLES "SEE ALSO"; do
    if ! grep -q "^\.SH \"*$section\"*\$" "$page"; then
      echo "$page: no section $section"
      status=1
    fi
  done
done
[ $status -eq 0 ] && echo "$# manual pages linted"
exit $status
