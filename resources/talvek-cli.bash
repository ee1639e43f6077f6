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
  local options="--yes --quiet --"
  if [[ ${COMP_WORDS[1]} != genkey ]]; then
    options+=" --key-file --password-file --password-stdin --password-charset"
  fi
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    return
  fi
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}
complete -F _talvek_cli talvek-cli
