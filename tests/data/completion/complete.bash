# Completes a command line the way bash's readline hands it to a completion function:
#   bash complete.bash SCRIPT LINE    prints COMPREPLY, one word a line
# SCRIPT is the completion script, or a share directory in which the bash-completion package's loader
# finds it (as it does in /usr/share). LINE is split into COMP_WORDS as readline splits it: at blanks
# outside quotes, and with every run of "=" or ":" outside quotes a word of its own; the cursor is at
# the end of the line.
if [[ -d $1 ]]; then
    export XDG_DATA_DIRS=$1
    source /usr/share/bash-completion/bash_completion || exit 2
    __load_completion varnok || exit 2
else
    source "$1" || exit 2
fi
line=$2
words=() word="" quote="" kind=""
flush() { [[ -n $kind ]] && words+=("$word"); word="" kind=""; }
for ((i = 0; i < ${#line}; i++)); do
    c=${line:i:1}
    if [[ -n $quote ]]; then
        word+=$c
        [[ $c == "$quote" ]] && quote=""
    elif [[ $c == [[:blank:]] ]]; then
        flush
    elif [[ $c == [=:] ]]; then
        [[ $kind != break ]] && flush
        word+=$c kind=break
    else
        [[ $kind == break ]] && flush
        [[ $c == [\'\"] ]] && quote=$c
        word+=$c kind=word
    fi
done
flush
[[ $line == *[[:blank:]] || ${#words[@]} -eq 0 ]] && words+=("")
COMP_WORDS=("${words[@]}")
COMP_CWORD=$((${#words[@]} - 1))
COMP_LINE=$line
COMP_POINT=${#line}
_varnok
printf '%s\n' "${COMPREPLY[@]}"
