# bash completion for varnok. The candidates come from varnok-complete, which reads the live command
# tree (installed plugins and those named on the line), so nothing here needs regenerating.
# $VARNOK_COMPLETE names the helper; by default it is ../libexec/varnok-complete from the varnok
# being completed.

# The helper beside the varnok named by $1 (a command name or a path).
_varnok_helper() {
    if [[ -n ${VARNOK_COMPLETE-} ]]; then
        REPLY=$VARNOK_COMPLETE
        return
    fi
    # The command's path without a subshell: as typed when it has a slash, else from the hash table.
    local tool=$1
    if [[ $tool != */* ]]; then
        hash -- "$tool" 2>/dev/null || return 1
        tool=${BASH_CMDS[$tool]}
    fi
    [[ -L $tool ]] && tool=$(readlink -f -- "$tool")
    REPLY=${tool%/*}/../libexec/varnok-complete
    [[ -x $REPLY ]]
}

# A word as the command will receive it: quotes removed, backslashes resolved, a leading ~/ expanded.
_varnok_dequote() {
    local word=$1 out="" quote="" c i
    if [[ $word != *[\'\"\\]* ]]; then
        out=$word
    else
        for ((i = 0; i < ${#word}; i++)); do
            c=${word:i:1}
            if [[ $quote == "'" ]]; then
                [[ $c == "'" ]] && quote="" || out+=$c
            elif [[ $quote == '"' ]]; then
                if [[ $c == '"' ]]; then
                    quote=""
                elif [[ $c == '\' && ${word:i+1:1} == [\"\\\$\`] ]]; then
                    out+=${word:i+1:1}
                    ((i++))
                else
                    out+=$c
                fi
            elif [[ $c == "'" || $c == '"' ]]; then
                quote=$c
            elif [[ $c == '\' ]]; then
                ((i++))
                out+=${word:i:1}
            else
                out+=$c
            fi
        done
    fi
    [[ $out == "~/"* && $word == "~/"* ]] && out=$HOME${out:1}
    REPLY=$out
}

_varnok() {
    local helper
    _varnok_helper "${COMP_WORDS[0]}" || return 0
    helper=$REPLY

    # bash splits words at "=" and ":" too; the command sees whole words, so words that touch on the
    # line are joined again. `before` is the part of the last whole word in front of bash's word.
    local -a words=()
    local line=${COMP_LINE:0:COMP_POINT} at=0 i token joined=0 before=""
    for ((i = 0; i <= COMP_CWORD; i++)); do
        token=${COMP_WORDS[i]}
        joined=1
        while [[ ${line:at:1} == [[:blank:]] ]]; do
            ((at++))
            joined=0
        done
        # The word under the cursor counts up to the cursor.
        ((i == COMP_CWORD)) && token=${line:at}
        ((i == 0)) && joined=0
        if [[ ${line:at:${#token}} == "$token" ]]; then
            ((at += ${#token}))
        else
            joined=0
        fi
        if ((joined)); then
            before=${words[-1]}
            words[-1]+=$token
        else
            before=""
            ((i > 0)) && words+=("$token")
        fi
    done
    ((COMP_CWORD == 0)) && return 0
    local word=${words[-1]}
    local -a args=()
    for token in "${words[@]}"; do
        _varnok_dequote "$token"
        args+=("$REPLY")
    done

    local kind prefix candidate
    local -a reply=()
    {
        IFS=$'\t' read -r kind prefix || return 0
        while IFS=$'\t' read -r candidate _; do
            reply+=("$candidate")
        done
    } < <("$helper" "${args[@]}" 2>/dev/null)

    case $kind in
    files | directories)
        _varnok_dequote "$word"
        local file=${REPLY#"$prefix"} flag=-f
        [[ $kind == directories ]] && flag=-d
        compopt -o filenames 2>/dev/null
        while IFS= read -r candidate; do
            reply+=("$prefix$candidate")
        done < <(compgen "$flag" -- "$file")
        ;;
    esac
    # The candidates are whole words; bash replaces only its own part of the last one.
    COMPREPLY=()
    _varnok_dequote "$before"
    for candidate in "${reply[@]}"; do
        COMPREPLY+=("${candidate#"$REPLY"}")
    done
    return 0
}

complete -F _varnok varnok
