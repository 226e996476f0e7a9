# bash completion for trctool: its commands, each command's options, and the
# values some options take. Needs nothing beyond bash itself.

_trctool() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=""
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands="capture dump calls check export sample status stats diag info"

    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi

    case $prev in
        --format)
            if [[ ${COMP_WORDS[1]} == capture ]]; then
                COMPREPLY=($(compgen -W "log pcapng pcap" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "pcapng pcap" -- "$cur"))
            fi
            return ;;
        --adapter | --count | --seconds | --ladder | -Y)
            return ;;
        -b)
            COMPREPLY=($(compgen -W "filesize: duration: files:" -- "$cur"))
            compopt -o nospace 2>/dev/null
            return ;;
        -w | -o)
            COMPREPLY=($(compgen -f -- "$cur"))
            return ;;
    esac

    local options=""
    case ${COMP_WORDS[1]} in
        capture) options="--adapter --count --seconds -w --force --format -b -q --quiet --tree --hex -Y --help" ;;
        dump) options="--tree --detail --hex -Y --help" ;;
        calls) options="--ladder --help" ;;
        check) options="--help" ;;
        export) options="--format --force -o --help" ;;
        sample) options="--help" ;;
        status | info) options="--adapter --help" ;;
        stats) options="--reset --watch --adapter --help" ;;
        diag) options="-o --adapter --help" ;;
        *) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -F _trctool trctool
