# bash completion for skerrin
_skerrin() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
    --site|--remove-site)
        # The titles of the user's own sites, the second field of --list-sites.
        local IFS=$'\n'
        COMPREPLY=($(compgen -W "$(skerrin --list-sites 2>/dev/null | cut -f2)" -- "$cur"))
        COMPREPLY=("${COMPREPLY[@]// /\\ }")
        return
        ;;
    --import-sites|--export-sites)
        COMPREPLY=($(compgen -f -- "$cur"))
        return
        ;;
    --search|--add-site|--keyword|--key)
        return
        ;;
    esac
    COMPREPLY=($(compgen -W "--search --site --list-sites --import-sites --export-sites --add-site --keyword --key --private --remove-site --clear-history --search-selection --bring-to-front --in-panel --help --version" -- "$cur"))
}
complete -F _skerrin skerrin
