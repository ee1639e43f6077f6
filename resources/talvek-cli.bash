# bash completion for talvek-cli: commands, options, and file names where a
# path goes. Installed as bash-completion/completions/talvek-cli.
_talvek_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=${COMP_WORDS[COMP_CWORD - 1]}
  COMPREPLY=()
  if [[ $COMP_CWORD -eq 1 ]]; then
    mapfile -t COMPREPLY < <(compgen -W "encode decode genkey --help --version" -- "$cur")
    return
  fi
  case $prev in
    --key-file | --password-file)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return
      ;;
    --password-charset)
      mapfile -t COMPREPLY < <(compgen -W "UTF-8 WINDOWS-1252 ISO-8859-1 ISO-8859-15 CP437 CP850" \
        -- "$cur")
      return
      ;;
  esac
  if [[ $cur == -* ]]; then
    # The command's own help lists the options it takes.
    local options
    options=$("${COMP_WORDS[0]}" "${COMP_WORDS[1]}" --help 2>/dev/null |
      grep -o -- ' --[a-z][a-z-]*' | tr -d ' ' | sort -u)
    options+=" --help --"
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    return
  fi
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}
complete -F _talvek_cli talvek-cli
