# fish completion for varnok. The candidates come from varnok-complete, which reads the live command
# tree (installed plugins and those named on the line), so nothing here needs regenerating.
# $VARNOK_COMPLETE names the helper; by default it is ../libexec/varnok-complete from the varnok
# being completed.

function __varnok_complete
    set -l tokens (commandline -opc)
    set -l word (commandline -ct)
    set -l helper $VARNOK_COMPLETE
    if test -z "$helper"
        set -l tool (command -s -- $tokens[1])
        or return
        set helper (path dirname (path resolve -- $tool))/../libexec/varnok-complete
    end
    test -x "$helper"; or return

    # The words after the tool name; a leading ~/ is the shell's to expand.
    set -l args
    for token in $tokens[2..-1] (string unescape -- "$word")
        set -a args (string replace -r '^~/' "$HOME/" -- $token)
    end

    set -l lines ("$helper" $args 2>/dev/null)
    or return
    set -l head (string split -m 1 \t -- $lines[1])
    # For files, the part of the word in front of the file name ("--plugin=") comes back as it was.
    set -l prefix "$head[2]"
    set -l file (string sub -s (math (string length -- "$prefix") + 1) -- "$args[-1]")
    switch $head[1]
        case words
            printf '%s\n' $lines[2..-1]
        case files
            for path in (__fish_complete_path "$file")
                printf '%s%s\n' "$prefix" "$path"
            end
        case directories
            # A glob rather than __fish_complete_directories, which fails on names with blanks.
            for path in $file*/
                printf '%s%s\tDirectory\n' "$prefix" "$path"
            end
    end
end

complete -c varnok -f -a '(__varnok_complete)'
