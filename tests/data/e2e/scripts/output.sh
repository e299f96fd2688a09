#!/bin/sh
# Programs whose output arrives in odd ways, for the end-to-end tests of varnok.
# Usage: output.sh endless DIR | complain DIR | nest DIR | rows COUNT | trickle 0|1
command=$1
target=$2
case $command in
endless)
    echo $$ >"$target/pid.tmp" && mv "$target/pid.tmp" "$target/pid"
    printf '<output><string>'
    yes x | tr -d '\n'
    ;;
complain)
    echo $$ >"$target/pid.tmp" && mv "$target/pid.tmp" "$target/pid"
    printf 'ERROR: first\nERROR:'
    yes x | tr -d '\n'
    ;;
nest)
    echo $$ >"$target/pid.tmp" && mv "$target/pid.tmp" "$target/pid"
    printf '<o>'
    yes '<structure typeName="R"><field name="f">' | tr -d '\n'
    ;;
rows)
    # COUNT records of some 480 bytes of text each; their fields in another order than the names'.
    awk -v count="$target" 'BEGIN {
        pad = sprintf("%130s", ""); gsub(/ /, "p", pad)
        print "<?xml version=\"1.0\"?>\n<output>\n<list type=\"structure\">"
        for (i = 0; i < count; i++) {
            printf "  <structure typeName=\"Disk\">\n"
            printf "    <field name=\"Path\"><string>/dev/disk/by-id/%s%d</string></field>\n", pad, i
            printf "    <field name=\"Name\"><string>disk-%08d</string></field>\n", i
            printf "    <field name=\"Size\"><int>%d</int></field>\n", 1000000 + i * 7
            printf "    <field name=\"Mounted\"><bool>%s</bool></field>\n", (i % 2 == 0) ? "true" : "false"
            printf "    <field name=\"Tags\"><list type=\"string\"><string>ssd</string><string>%s</string></list></field>\n", (i % 3 == 0) ? "boot" : "data"
            printf "  </structure>\n"
        }
        print "</list>\n</output>"
    }'
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
