# SPDX-License-Identifier: MIT
# bash completion for quelvane-cli: its commands, each command's options, and
# file names where a file is wanted (a folder for --output-dir).

_quelvane_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local command= i word
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
            --password-file|-k|--output|-o|--output-dir|--format) ((i++)) ;;
            encrypt|decrypt|generate|upgrade) command=$word; break ;;
        esac
    done
    local IFS=$'\n'
    case $prev in
        --password-file|-k|--output|-o) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --output-dir) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --format) COMPREPLY=($(compgen -W $'age\nquelvane' -- "$cur")); return ;;
    esac
    local options
    case $command in
        encrypt)
            options='--password-file -k --output -o --output-dir --force -f --binary --format --no-armor --quiet -q --help -h' ;;
        decrypt)
            options='--password-file -k --output -o --output-dir --force -f --binary --quiet -q --help -h' ;;
        generate) options='--output -o --force -f --quiet -q --help -h' ;;
        upgrade) options='--password-file -k --force -f --quiet -q --help -h' ;;
        *)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W $'--help\n--version' -- "$cur"))
            else
                COMPREPLY=($(compgen -W $'encrypt\ndecrypt\ngenerate\nupgrade' -- "$cur"))
            fi
            return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "${options// /$'\n'}" -- "$cur"))
    elif [[ $command != generate ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -o filenames -F _quelvane_cli quelvane-cli
