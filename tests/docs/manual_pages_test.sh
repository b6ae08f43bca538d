#!/usr/bin/env bash
# The manual pages made from Markdown render without a warning from man and groff, and their NAME
# line gives whatis an entry: what lintian looks at in a package's pages. A text line of the
# Markdown that starts with '.' or '\'' becomes a roff request, and this is where that shows.
# Usage: manual_pages_test.sh PAGE...
set -euo pipefail
status=0
for page in "$@"; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    echo "$page: $warnings"
    status=1
  fi
  lexgrog "$page" >/dev/null || { echo "$page: no whatis entry in its NAME section"; status=1; }
done
exit "$status"
