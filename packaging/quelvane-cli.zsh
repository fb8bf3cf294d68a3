#compdef quelvane-cli
# SPDX-License-Identifier: MIT
# zsh completion for quelvane-cli: its commands, each command's options, and
# file names where a file is wanted (a folder for --output-dir).

local -a common transform
common=(
  '(-o --output --output-dir)'{-o+,--output=}'[write the result to FILE ("-": standard output)]:file:_files'
  '(-f --force)'{-f,--force}'[replace files that exist]'
  '(-q --quiet)'{-q,--quiet}'[show no progress and no warnings]'
  '(- *)'{-h,--help}'[show the help]'
  '(- *)'{-v,--version}'[show the version]'
)
transform=(
  '(-k --password-file)'{-k+,--password-file=}'[the password file (.QvP; "-": standard input)]:password file:_files'
  '(-o --output)--output-dir=[write each INPUT into DIR]:folder:_directories'
  '--binary[any bytes exactly as they are]'
)

# The command word, wherever it stands after the options before it.
local at=${words[(I)(encrypt|decrypt|generate|upgrade)]}
if (( at == 0 || CURRENT <= at )); then
  _arguments \
    '(- *)'{-h,--help}'[show the help]' \
    '(- *)'{-v,--version}'[show the version]' \
    '1:command:((encrypt\:"encrypt texts into hex ciphertext" decrypt\:"decrypt hex ciphertext into texts" generate\:"make a random password" upgrade\:"rewrite hex ciphertext files as age files"))'
  return
fi

# From here the command is the word its options and operands follow.
shift $(( at - 1 )) words
(( CURRENT -= at - 1 ))
case ${words[1]} in
  encrypt) _arguments -S $common $transform '--format=[the ciphertext format]:format:(quelvane age)' \
             '--no-armor[with --format age: the binary age file]' '*:text file:_files' ;;
  decrypt) _arguments -S $common $transform '*:ciphertext file:_files' ;;
  generate) _arguments -S $common '1:length (3 to 448):' ;;
  upgrade) _arguments -S ${common:#*--output*} ${transform[1,2]} '*:hex ciphertext file:_files' ;;
esac
