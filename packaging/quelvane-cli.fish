# SPDX-License-Identifier: MIT
# fish completion for quelvane-cli: its commands, each command's options, and
# file names where a file is wanted (a folder for --output-dir).

set -l commands encrypt decrypt generate upgrade
complete -c quelvane-cli -f
complete -c quelvane-cli -n "not __fish_seen_subcommand_from $commands" -a encrypt -d 'Encrypt texts into hex ciphertext'
complete -c quelvane-cli -n "not __fish_seen_subcommand_from $commands" -a decrypt -d 'Decrypt hex ciphertext into texts'
complete -c quelvane-cli -n "not __fish_seen_subcommand_from $commands" -a generate -d 'Make a random password'
complete -c quelvane-cli -n "not __fish_seen_subcommand_from $commands" -a upgrade -d 'Rewrite hex ciphertext files as age files'
complete -c quelvane-cli -s h -l help -d 'Show the help'
complete -c quelvane-cli -s v -l version -d 'Show the version'

complete -c quelvane-cli -n "__fish_seen_subcommand_from encrypt decrypt generate" -s o -l output -r -F -d 'Write the result to FILE ("-": standard output)'
complete -c quelvane-cli -n "__fish_seen_subcommand_from $commands" -s f -l force -d 'Replace files that exist'
complete -c quelvane-cli -n "__fish_seen_subcommand_from $commands" -s q -l quiet -d 'Show no progress and no warnings'

set -l transform "__fish_seen_subcommand_from encrypt decrypt"
complete -c quelvane-cli -n "__fish_seen_subcommand_from encrypt decrypt upgrade" -s k -l password-file -r -F -d 'The password file (.QvP; "-": standard input)'
complete -c quelvane-cli -n $transform -l output-dir -r -a '(__fish_complete_directories)' -d 'Write each INPUT into DIR'
complete -c quelvane-cli -n $transform -l binary -d 'Any bytes exactly as they are'
complete -c quelvane-cli -n "__fish_seen_subcommand_from encrypt" -l format -x -a 'quelvane age' -d 'The ciphertext format'
complete -c quelvane-cli -n "__fish_seen_subcommand_from encrypt" -l no-armor -d 'With --format age: the binary age file'
complete -c quelvane-cli -n "__fish_seen_subcommand_from encrypt decrypt upgrade" -F
