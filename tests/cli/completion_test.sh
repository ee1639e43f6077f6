#!/usr/bin/env bash
# The bash completion offers talvek-cli's commands and options where they go.
#   completion_test.sh COMPLETION_FILE
set -u
source "$1"
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
expect encode -- talvek-cli en
expect --password-file --password-stdin --password-charset -- talvek-cli encode a --pass
expect --yes -- talvek-cli genkey k.mk --y
expect -- talvek-cli genkey k.mk --pass
expect WINDOWS-1252 -- talvek-cli decode a.tc --password-charset WIN
exit $status
