#!/bin/sh
# Deterministic output documents for the end-to-end tests of varnok: a fixed inventory of disks,
# an echo of the parameters received, and a secret check fed on standard input.
# Usage: inventory.sh list [--min-size N] | get NAME | echo ARGS... | secret USER
disk() { # name size healthy rack slot tags...
    name=$1 size=$2 healthy=$3 rack=$4 slot=$5
    shift 5
    echo "    <structure typeName=\"Disk\">"
    echo "      <field name=\"Name\"><string>$name</string></field>"
    echo "      <field name=\"Size\"><int>$size</int></field>"
    echo "      <field name=\"Healthy\"><bool>$healthy</bool></field>"
    echo "      <field name=\"Location\"><structure typeName=\"Location\">"
    echo "        <field name=\"Rack\"><string>$rack</string></field>"
    echo "        <field name=\"Slot\"><int>$slot</int></field>"
    echo "      </structure></field>"
    echo "      <field name=\"Tags\"><list type=\"string\">"
    for tag in "$@"; do echo "        <string>$tag</string>"; done
    echo "      </list></field>"
    echo "    </structure>"
}
disks() { # min-size
    [ 500 -ge "$1" ] && disk sda 500 true 'A&amp;1' 3 ssd boot
    [ 12000 -ge "$1" ] && disk sdb 12000 false 'B "north"' 14 hdd
    [ 75 -ge "$1" ] && disk nvme0n1 75 true '&lt;none&gt;' 0 nvme 'fast lane'
    return 0
}

command=$1
shift
case $command in
list)
    min=0
    [ "${1:-}" = --min-size ] && min=$2
    echo "<output>"
    echo "  <list type=\"structure\">"
    disks "$min"
    echo "  </list>"
    echo "</output>"
    ;;
get)
    case $1 in
    sda | sdb | nvme0n1) ;;
    *) echo "ERROR: No disk named $1"; echo "ERROR: Known disks: sda, sdb, nvme0n1"; exit 1 ;;
    esac
    echo "<output>"
    disks 0 | awk -v name="<string>$1</string>" '
        /<structure typeName="Disk">/ { buffer = ""; keep = 0 }
        { buffer = buffer $0 "\n" }
        index($0, name) { keep = 1 }
        /^    <\/structure>/ { if (keep) printf "%s", buffer }'
    echo "</output>"
    ;;
echo)
    # Every argument as one element of a list of strings, exactly as the shell received it.
    echo "<output><structure typeName=\"Echo\"><field name=\"Arguments\"><list type=\"string\">"
    for argument in "$@"; do
        printf '<string>%s</string>\n' "$argument" | sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g; s/^&lt;string&gt;/<string>/; s/&lt;\/string&gt;$/<\/string>/'
    done
    echo "</list></field><field name=\"Count\"><int>$#</int></field></structure></output>"
    ;;
secret)
    IFS= read -r password
    accepted=false
    [ "$password" = "open sesame" ] && accepted=true
    echo "<output><structure typeName=\"Login\">"
    echo "<field name=\"User\"><string>$1</string></field>"
    echo "<field name=\"Accepted\"><bool>$accepted</bool></field>"
    echo "<field name=\"Length\"><int>${#password}</int></field>"
    echo "</structure></output>"
    ;;
*)
    echo "ERROR: inventory.sh: unknown command $command"
    ;;
esac
