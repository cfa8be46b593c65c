# bash completion for globalstab: commands, options, and the projects, categories and global
# pages of the data root (--data-root, or $GLOBALSTAB_DATA_ROOT).

# The names a document of the data root holds between <TAG> and </TAG>, entities decoded.
_globalstab_names()
{
    local file=$1 tag=$2
    [ -f "$file" ] || return 0
    sed -n "s:.*<$tag>\\(.*\\)</$tag>.*:\\1:p" "$file" 2>/dev/null |
        sed -e 's/&lt;/</g' -e 's/&gt;/>/g' -e 's/&quot;/"/g' -e "s/&apos;/'/g" -e 's/&amp;/\&/g'
}

# The project folders below Docs.
_globalstab_projects()
{
    local folder
    [ -d "$1" ] || return 0
    for folder in "$1"/*/; do
        folder=${folder%/}
        folder=${folder##*/}
        [ "$folder" = '*' ] || printf '%s\n' "$folder"
    done
}

# COMPREPLY from candidates on stdin, one a line, quoted for the shell. Fed by a process
# substitution: a pipe would set COMPREPLY in a subshell.
_globalstab_reply()
{
    local cur=$1 line
    local -a matches=()
    while IFS= read -r line; do
        case $line in "$cur"*) matches+=("$line") ;; esac
    done
    COMPREPLY=()
    for line in "${matches[@]}"; do
        COMPREPLY+=("$(printf '%q' "$line")")
    done
}

_globalstab()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    COMPREPLY=()
    local root=${GLOBALSTAB_DATA_ROOT-} command= i word ended=
    local -a args=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [ -z "$ended" ]; then
            case $word in
            --) ended=1; continue ;;
            --data-root=*) root=${word#--data-root=}; continue ;;
            --data-root | --id | --rank | --install-type | --type)
                [ "$word" = --data-root ] && root=${COMP_WORDS[i+1]}
                ((i++)); continue ;;
            -*) continue ;;
            esac
        fi
        if [ -z "$command" ]; then command=$word; else args+=("$word"); fi
    done
    root=$(eval "printf '%s' $root" 2>/dev/null)

    case $prev in
    --data-root) COMPREPLY=($(compgen -d -- "$cur")); return 0 ;;
    --type) COMPREPLY=($(compgen -W '0 1' -- "$cur")); return 0 ;;
    --id | --rank | --install-type) return 0 ;;
    esac
    if [ -z "$ended" ] && [[ $cur == -* ]]; then
        local options='--data-root= --dry-run --json --help --version --'
        case $command in
        check) options+=' --repair' ;;
        rename-project) options+=' --id= --rank= --install-type=' ;;
        update-pages) options+=' --type=' ;;
        category) options+=' --install-type=' ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        [[ ${COMPREPLY[0]-} == *= ]] && compopt -o nospace 2>/dev/null
        return 0
    fi
    if [ -z "$command" ]; then
        COMPREPLY=($(compgen -W 'check rename-project update-pages category page undo recover' \
            -- "$cur"))
        return 0
    fi

    local docs=$root/Docs project=${args[0]-}
    project=$(eval "printf '%s' $project" 2>/dev/null)
    case $command:${#args[@]} in
    check:0 | rename-project:0 | category:0 | page:0)
        _globalstab_reply "$cur" < <(_globalstab_projects "$docs") ;;
    category:1) COMPREPLY=($(compgen -W 'add rename delete move' -- "$cur")) ;;
    page:1) COMPREPLY=($(compgen -W 'add edit delete' -- "$cur")) ;;
    category:2)
        [ "${args[1]}" != add ] && _globalstab_reply "$cur" < <(
            _globalstab_names "$docs/$project/PX_BookCategories.xml" CategoryName |
                grep -vx 'Other Category') ;;
    category:3) [ "${args[1]}" = move ] && COMPREPLY=($(compgen -W 'up down' -- "$cur")) ;;
    page:2)
        [ "${args[1]}" != add ] && _globalstab_reply "$cur" < <(
            _globalstab_names "$docs/$project/_Global Information/Book_Global.xml" HName) ;;
    page:3 | page:4 | update-pages:1)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur")) ;;
    esac
    return 0
}

complete -F _globalstab globalstab
