#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The zsh and fish completions of quelvane-cli: fish asked as it asks them,
# zsh read and registered by its completion system. Skipped (77) where
# neither shell is installed.
set -euo pipefail
zsh_file=$(realpath "$1") fish_file=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir folder
touch notes.txt key.QvP
fail() { echo "FAIL: $*" >&2; exit 1; }
ran=0

if command -v fish >/dev/null; then
  expect() {  # expect "LINE" "COMPLETIONS"
    local got
    got=$(fish --no-config -c "source $fish_file; complete -C'$1'" | cut -f1 | sort | tr '\n' ' ')
    [ "$got" = "$2" ] || fail "fish: '$1' completes to '$got', not '$2'"
  }
  expect "quelvane-cli "                    "decrypt encrypt generate upgrade "
  expect "quelvane-cli upgrade -"           "--force --help --password-file --quiet --version -f -h -k -q -v "
  expect "quelvane-cli upgrade n"           "notes.txt "
  expect "quelvane-cli generate --"         "--force --help --output --quiet --version "
  expect "quelvane-cli encrypt --b"         "--binary "
  expect "quelvane-cli decrypt -k k"        "key.QvP "
  expect "quelvane-cli encrypt --output-dir f" "folder/ "
  expect "quelvane-cli decrypt n"           "notes.txt "
  ran=$((ran + 8))
fi

if command -v zsh >/dev/null; then
  mkdir functions
  cp "$zsh_file" functions/_quelvane-cli
  zsh -n "$zsh_file" || fail "zsh: the completion does not parse"
  got=$(zsh -f -c 'fpath=(./functions $fpath); autoload -Uz compinit; compinit -u -d ./zcompdump; print -r -- ${_comps[quelvane-cli]}')
  [ "$got" = "_quelvane-cli" ] || fail "zsh: quelvane-cli is completed by '$got', not _quelvane-cli"
  ran=$((ran + 1))
fi

[ "$ran" -gt 0 ] || { echo "neither zsh nor fish is installed"; exit 77; }
echo "completion in zsh and fish: $ran cases"
