# Completes a command line the way bash's readline hands it to a completion function:
#   bash complete.bash SCRIPT LINE    prints COMPREPLY, one word a line
# LINE is split into COMP_WORDS as readline splits it: at blanks outside quotes, and with every run of
# "=" or ":" outside quotes a word of its own; the cursor is at the end of the line.
source "$1" || exit 2
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
