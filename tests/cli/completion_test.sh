#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The bash completion of quelvane-cli, asked as bash asks it: commands, each
# command's own options, files where a file goes, folders for --output-dir.
set -euo pipefail
source "$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir folder
touch notes.txt key.QvP

fail() { echo "FAIL: $*" >&2; exit 1; }
# complete WORDS... : the completions of the last word.
complete_words() {
  COMP_WORDS=(quelvane-cli "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _quelvane_cli
  [ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}
expect() {  # expect "WORDS" "COMPLETIONS"
  local got words=()
  read -ra words <<<"$1"
  if [ -z "$1" ] || [[ $1 == *' ' ]]; then words+=(""); fi
  got=$(complete_words "${words[@]}")
  [ "$got" = "$2" ] || fail "'$1' completes to '$got', not '$2'"
}
expect ""                           "decrypt encrypt generate upgrade "
expect "up"                         "upgrade "
expect "upgrade -"                  "--force --help --password-file --quiet -f -h -k -q "
expect "upgrade -k k"               "key.QvP "
expect "upgrade n"                  "notes.txt "
expect "en"                         "encrypt "
expect "-"                          "--help --version "
expect "encrypt --b"                "--binary "
expect "generate --"                "--force --help --output --quiet "
expect "encrypt -"                  "--binary --force --format --help --no-armor --output --output-dir --password-file --quiet -f -h -k -o -q "
expect "decrypt -"                  "--binary --force --help --output --output-dir --password-file --quiet -f -h -k -o -q "
expect "encrypt --format a"         "age "
expect "decrypt -k k"               "key.QvP "
expect "-o x encrypt -o n"          "notes.txt "
expect "decrypt --output-dir "      "folder "
expect "decrypt --password-file k"  "key.QvP "
expect "encrypt n"                  "notes.txt "
expect "--output x encrypt --f"     "--force --format "
expect "generate 4"                 ""
echo "completion: 17 cases"
