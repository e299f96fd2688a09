# Completes command lines with zsh's own completion system in an interactive zsh on a terminal:
#   zsh complete.zsh DIR LINE...    for each LINE the words offered, one a line, then a line "=="
# (DIR holds _varnok). The interactive zsh runs under zpty with compinit; compadd is wrapped to print
# each word it is given, between markers, and each line is completed by typing a tab after it. Tab runs
# a widget that marks the end of the completion, and nothing more is typed before that mark is read:
# zle would cut a completion short for input already waiting.
zmodload zsh/zpty || exit 2
zpty varnok zsh -f -i || exit 2
zpty -w varnok "PS1=''; unsetopt zle_bracketed_paste 2>/dev/null; fpath=(${(q)1} \$fpath)"
zpty -w varnok 'autoload -Uz compinit && compinit -u -D'
zpty -w varnok 'compadd() { local -a m; builtin compadd -O m "$@"; print -rl -- "" "<<<" "${m[@]}" ">>>" >/dev/tty; builtin compadd "$@"; }'
zpty -w varnok 'tab() { zle complete-word; print -rl -- "" "--completed--" >/dev/tty; }; zle -N tab; bindkey "^I" tab'
zpty -w varnok "print -r -- '--ready--'"
local out rest
zpty -r -m varnok out '*--ready--*--ready--*' || exit 3
shift
local line inside
for command in "$@"; do
    zpty -w -n varnok "$command"$'\t'
    out=""
    zpty -r -m varnok out '*--completed--*' || exit 3
    zpty -w -n varnok $'\C-u'
    zpty -w varnok "print -r -- '--done--'"
    zpty -r -m varnok rest '*--done--*--done--*' || exit 3
    # Only what the wrapper printed, without the terminal's carriage returns.
    inside=0
    for line in "${(@f)out//$'\r'/}"; do
        case $line in
        '<<<') inside=1 ;;
        '>>>') inside=0 ;;
        *) (( inside )) && print -r -- "$line" ;;
        esac
    done | sort -u
    print -r -- "=="
done
zpty -d varnok
