#!/bin/sh
# Renders each manual page as man does: fails on any warning from the
# formatter, on a page that renders empty, on an option of talvek-cli's
# help (all of it and each command's) that talvek-cli(1) does not describe,
# and on an option that talvek-cli(1) describes and the help does not know.
#   man_pages_test.sh TALVEK_CLI PAGE...
set -u
cli=$1
shift
status=0
render() { LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 "$@"; }
for page in "$@"; do
  if [ ! -f "$page" ]; then
    echo "$page: missing"
    status=1
    continue
  fi
  # "w" is every warning; groff's "all" leaves out undefined macros.
  warnings=$(render --warnings=w -l "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    printf '%s:\n%s\n' "$page" "$warnings"
    status=1
  fi
  text=$(render -l "$page" 2>/dev/null)
  case $text in
    *NAME*SYNOPSIS*DESCRIPTION*) ;;
    *) echo "$page: renders without NAME, SYNOPSIS and DESCRIPTION"; status=1 ;;
  esac
  case $page in
    */talvek-cli.1)
      help=$("$cli" --help; for command in encode decode genkey; do "$cli" $command --help; done)
      for option in $(printf '%s\n' "$help" | grep -o -- '--[a-z-]*' | sort -u); do
        case $text in
          *"$option"*) ;;
          *) echo "$page: $option is not described"; status=1 ;;
        esac
      done
      # The options the page lists, each at the head of an entry (.TP).
      described=$(sed -n '/^\.TP/{n;p}' "$page" | grep -o -- '\\-\\-[a-z\\-]*' | sed 's/\\//g' | sort -u)
      for option in $described; do
        [ "$option" = "--" ] && continue
        case $help in
          *"$option"*) ;;
          *) echo "$page: $option is described but not an option"; status=1 ;;
        esac
      done
      ;;
  esac
done
exit $status
