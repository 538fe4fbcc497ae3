# bash completion for tangra-qv-tool
_tangra_qv_tool() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local commands="@TQV_TOOL_COMMANDS@"
    COMPREPLY=()
    if [[ $COMP_CWORD -eq 1 ]]; then
        COMPREPLY=($(compgen -W "$commands help --help --version" -- "$cur"))
        return
    fi
    case ${COMP_WORDS[1]} in
        help)
            [[ $COMP_CWORD -eq 2 ]] && COMPREPLY=($(compgen -W "$commands" -- "$cur"))
            return ;;
        library)
            if [[ $COMP_CWORD -eq 2 ]]; then
                COMPREPLY=($(compgen -W "add list show export tag delete history snapshots restore-snapshot delete-snapshot check --library" -- "$cur"))
                return
            fi ;;
        set)
            if [[ $COMP_CWORD -eq 4 ]]; then
                COMPREPLY=($(compgen -W "template $(seq 0 85)" -- "$cur"))
                return
            fi
            if [[ $COMP_CWORD -gt 4 ]]; then
                [[ ${COMP_WORDS[4]} == template ]] &&
                    COMPREPLY=($(compgen -W "templateName= manufacturerName=" -- "$cur"))
                compopt -o nospace 2>/dev/null
                return
            fi ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--help $([[ ${COMP_WORDS[1]} == info || ${COMP_WORDS[1]} == diff || ${COMP_WORDS[1]} == clashes ]] && echo --json) $([[ ${COMP_WORDS[1]} == info ]] && echo --lossless) $([[ ${COMP_WORDS[1]} == library ]] && echo --library --json --search --tag --remove --location)" -- "$cur"))
        return
    fi
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$cur"))
}
complete -F _tangra_qv_tool tangra-qv-tool
