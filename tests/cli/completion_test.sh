#!/usr/bin/env bash
# The bash completion offers talvek-cli's commands and options where they go.
#   completion_test.sh COMPLETION_FILE TALVEK_CLI
set -u
source "$1"
cli=$2
status=0
expect() {  # expected words... -- command line words
  local expected=()
  while [[ $1 != -- ]]; do expected+=("$1"); shift; done
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  _talvek_cli
  if [[ "${COMPREPLY[*]}" != "${expected[*]}" ]]; then
    echo "for '$*': got '${COMPREPLY[*]}', expected '${expected[*]}'"
    status=1
  fi
}
expect encode -- "$cli" en
expect --password-charset --password-file --password-stdin -- "$cli" encode a --pass
expect --each -- "$cli" decode --ea
expect --recursive -- "$cli" decode --each --rec
expect --yes -- "$cli" genkey k.mk --y
expect -- "$cli" genkey k.mk --pass
expect WINDOWS-1252 -- "$cli" decode a.tc --password-charset WIN
exit $status
