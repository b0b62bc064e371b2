#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs lupdate over the sources into copies of the .ts files and fails, naming
# them, on texts that have no finished translation: a text added or changed
# in the code and not translated, or one left unfinished.
# Usage: check_translations.sh LUPDATE ARGUMENT... -ts FILE.ts...
set -u
lupdate=$1
shift
copies=$(mktemp -d)
trap 'rm -rf "$copies"' EXIT
arguments=
while [ "$1" != -ts ]; do arguments="$arguments $1"; shift; done
shift
status=0
for ts in "$@"; do
  copy=$copies/$(basename "$ts")
  cp "$ts" "$copy"
  # shellcheck disable=SC2086 # the arguments are words
  "$lupdate" -silent $arguments -ts "$copy" || { echo "FAIL: lupdate on $ts"; exit 1; }
  untranslated=$(grep -B1 -E '<translation( type="unfinished")?>$|type="unfinished"|<translation */>' \
    "$copy" | sed -n 's/ *<source>\(.*\)<\/source>/\1/p')
  if [ -n "$untranslated" ]; then
    echo "FAIL: $(basename "$ts") has no translation for:"
    echo "$untranslated" | sed 's/^/  /'
    status=1
  fi
done
exit $status
