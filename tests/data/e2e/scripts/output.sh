#!/bin/sh
# Programs whose output arrives in odd ways, for the end-to-end tests of varnok.
# Usage: output.sh endless DIR | trickle 0|1
command=$1
target=$2
case $command in
endless)
    echo $$ >"$target/pid.tmp" && mv "$target/pid.tmp" "$target/pid"
    printf '<output><string>'
    yes x | tr -d '\n'
    ;;
trickle)
    # A document with a declaration, a comment and a reference, all cut across writes.
    doc='<?xml version="1.0"?>
<output><!-- c --><string>a &amp; b z</string></output>'
    if [ "$target" = 0 ]; then
        printf '%s' "$doc"
        exit 0
    fi
    while [ -n "$doc" ]; do
        rest=${doc#?}
        printf '%s' "${doc%"$rest"}"
        doc=$rest
        sleep 0.002
    done
    exit 0
    ;;
esac
