# Bash completion for cedev and tlvarc: commands, subcommands and options,
# read from the tools' own help, so they never drift apart from the tools.
# The build copies this file to build/completion.bash; load it with
#   source build/completion.bash
# Other words (device paths, host files) complete as file names.

# The usage lines of "TOOL help COMMAND".
_tlv_usage() {
  "$1" help "$2" 2>/dev/null | sed -n '/^usage:/,/^$/p'
}

# The commands of TOOL, from "TOOL help".
_tlv_commands() {
  "$1" help 2>/dev/null | awk '/^  [a-z][a-z-]* / { print $1 }' | sort -u
}

# The words that may follow "TOOL COMMAND" directly (reg query, job backup).
_tlv_subcommands() {
  _tlv_usage "$1" "$2" | awk -v cmd="$2" '
    { for (i = 1; i < NF; ++i) if ($i == cmd) { w = $(i + 1); break } }
    w ~ /^[a-z]/ { n = split(w, parts, "|"); for (j = 1; j <= n; ++j) print parts[j] }
    { w = "" }' | sort -u
}

# The options of TOOL COMMAND, from its usage lines.
_tlv_options() {
  _tlv_usage "$1" "$2" | grep -oE '(^|[][ |])--?[a-z][a-z-]*' | sed 's/^[][ |]//' | sort -u
  printf '%s\n' -h --help
}

_tlv_complete() {
  local tool=${COMP_WORDS[0]} cur=${COMP_WORDS[COMP_CWORD]} cmd= at=0 i
  for ((i = 1; i < COMP_CWORD; ++i)); do
    case ${COMP_WORDS[i]} in
      -d | --device) ((++i)) ;;
      -*) ;;
      *) cmd=${COMP_WORDS[i]}; at=$i; break ;;
    esac
  done
  COMPREPLY=()
  if [[ -z $cmd ]]; then
    if [[ $cur == -* ]]; then
      local globals="-h --help"
      [[ ${tool##*/} == cedev ]] && globals+=" -d --device"
      COMPREPLY=($(compgen -W "$globals" -- "$cur"))
    else
      COMPREPLY=($(compgen -W "$(_tlv_commands "$tool")" -- "$cur"))
    fi
    return
  fi
  if [[ $cmd == help ]]; then
    ((COMP_CWORD == at + 1)) && COMPREPLY=($(compgen -W "$(_tlv_commands "$tool")" -- "$cur"))
    return
  fi
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$(_tlv_options "$tool" "$cmd")" -- "$cur"))
  elif ((COMP_CWORD == at + 1)); then
    COMPREPLY=($(compgen -W "$(_tlv_subcommands "$tool" "$cmd")" -- "$cur"))
  fi
}

complete -o default -o bashdefault -F _tlv_complete cedev tlvarc
