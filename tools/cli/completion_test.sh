#!/usr/bin/env bash
# Checks the bash completion of both tools against the tools just built:
# each case is a command line with the word being completed last, and the
# words the completion must offer. Usage: completion_test.sh BUILD_DIR
set -uo pipefail
build=${1:?usage: completion_test.sh BUILD_DIR}
export PATH="$build/bin:$PATH"
# shellcheck source=/dev/null
source "$build/completion.bash" || exit 1

failures=0
expect() {
  local line=$1; shift
  read -ra COMP_WORDS <<< "$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _tlv_complete
  local want got=" ${COMPREPLY[*]} "
  for want in "$@"; do
    if [[ $got != *" $want "* ]]; then
      echo "'$line' offers [${COMPREPLY[*]}], not $want"
      failures=$((failures + 1))
    fi
  done
}

expect "cedev mk" mkdir
expect "cedev " attrib touch job help ls
expect "cedev reg " query set delete export
expect "cedev job re" restore registry-backup registry-restore
expect "cedev -d dev ls -" -l --help
expect "cedev events --k" --kind
expect "cedev reset --" --full --soft --help
expect "cedev put -" -p
expect "cedev help at" attrib
expect "cedev --d" --device
expect "cedev ui " list watch press type select key close
expect "cedev ui --" --seconds --append --all
expect "tlvarc ver" verify
expect "tlvarc list a.dat --l" --long
expect "tlvarc help ex" extract

if ((failures)); then
  echo "$failures completion(s) missing"
  exit 1
fi
echo "completion offers what the tools take"
