#!/bin/bash
# Drives a completion function as bash would: complete.sh SCRIPT WORD...
# prints the candidates for the last word, sorted, one a line.
source "$1"
shift
COMP_WORDS=("$@")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
COMP_LINE="$*"
COMP_POINT=${#COMP_LINE}
function=$(complete -p "$1" | sed 's/.* -F \([^ ]*\) .*/\1/')
"$function" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
printf '%s\n' "${COMPREPLY[@]}" | sort
