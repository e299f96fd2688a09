#!/bin/sh
# The programs of a test host's commands; each prints an output document.
# Usage: fleet.sh show HOST SLOTS | jobs HOST SLOTS [--min N] [--tagged] [--owner OWNER]...
#        | start HOST MARKER NAME | purge HOST MARKER | key HOST (token and pin on standard input)
set -eu
command=$1
host=$2
shift 2
case $command in
show)
    echo "<output><structure typeName=\"Host\">"
    echo "<field name=\"Name\"><string>$host</string></field>"
    echo "<field name=\"Slots\"><int>$1</int></field>"
    echo "<field name=\"Ready\"><bool>true</bool></field>"
    echo "</structure></output>"
    ;;
jobs)
    slots=$1
    shift
    min=0
    tag=""
    owners=""
    while [ $# -gt 0 ]; do
        case $1 in
        --min) min=$2; shift 2 ;;
        --owner) owners="$owners $2"; shift 2 ;;
        --tagged) tag="+"; shift ;;
        *) echo "ERROR: unexpected argument $1"; exit 1 ;;
        esac
    done
    echo "<output><list type=\"structure\">"
    for owner in ${owners:-root}; do
        i=1
        while [ "$i" -le "$slots" ]; do
            size=$((i * 10))
            if [ "$size" -ge "$min" ]; then
                echo "<structure typeName=\"Job\">"
                echo "<field name=\"Name\"><string>$host-$owner-$i$tag</string></field>"
                echo "<field name=\"Size\"><int>$size</int></field>"
                echo "<field name=\"Owner\"><string>$owner</string></field>"
                echo "</structure>"
            fi
            i=$((i + 1))
        done
    done
    echo "</list></output>"
    ;;
start)
    echo "$2" >"$1"
    echo "<output><structure typeName=\"Started\">"
    echo "<field name=\"Job\"><string>$2</string></field>"
    echo "<field name=\"Host\"><string>$host</string></field>"
    echo "</structure></output>"
    ;;
purge)
    : >"$1"
    echo "<output><int>3</int></output>"
    ;;
key)
    IFS= read -r token
    IFS= read -r pin
    digest=$(printf '%s' "$token" | sha256sum | cut -d' ' -f1)
    echo "<output><structure typeName=\"Key\">"
    echo "<field name=\"Host\"><string>$host</string></field>"
    echo "<field name=\"Digest\"><string>$digest</string></field>"
    echo "<field name=\"PinLength\"><int>${#pin}</int></field>"
    echo "</structure></output>"
    ;;
esac
