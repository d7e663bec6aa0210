#!/usr/bin/env bash
# Checks trimora's bash completion as bash-completion loads it: by default the
# installed one, found by its name as an interactive shell would; or the file given.
#   data/completions/check-completion.sh [FILE]
set -uo pipefail

source /usr/share/bash-completion/bash_completion || exit 1
if [ $# -gt 0 ]; then
    source "$1" || exit 1
else
    _completion_loader trimora
fi
if ! complete -p trimora >/dev/null 2>&1; then
    echo "no completion for trimora is loaded" >&2
    exit 1
fi

cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT
mkdir clips 'old clips'
touch a.mp4 B.MKV c.Mov e.3GP notes.txt

# The words bash offers after LINE, sorted, on one line.
offered()
{
    local COMP_LINE=$1 COMP_POINT=${#1} COMP_WORDS COMP_CWORD
    read -ra COMP_WORDS <<<"$COMP_LINE"
    [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _trimora trimora "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    ((${#COMPREPLY[@]})) && printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' '
}

passed=0
failed=0
expect()
{
    local got
    got=$(offered "$1")
    if [[ $got == "$2" ]]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL: [%s]\n  expected: %s\n  got:      %s\n' "$1" "$2" "$got"
    fi
}

expect "trimora split --" "-- --at --dry-run --every --help --json --keyframes --library --name --parts --quiet --verbose --version "
expect "trimora split --k" "--keyframes "
expect "trimora -" "-- --help --library --version -V -h "
expect "trimora " "B.MKV a.mp4 c.Mov clips e.3GP help old clips split "
expect "trimora help " "split "
expect "trimora split --at " ""
expect "trimora split --parts " ""
expect "trimora split a.mp4 --every " ""
expect "trimora split --library " "clips old clips "
expect "trimora --library=" "clips old clips "
expect "trimora split --at 5 " "B.MKV a.mp4 c.Mov clips e.3GP old clips "
expect "trimora split -- --" ""

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
