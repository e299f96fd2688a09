#!/bin/sh
# Programs that leave traces for the end-to-end tests of varnok.
# Usage: safety.sh mark FILE | secret FILE | wait DIR
command=$1
target=$2
case $command in
mark)
    echo ran >>"$target"
    ;;
secret)
    IFS= read -r secret
    printf '%s\n' "$secret" >>"$target"
    ;;
wait)
    # The pids appear whole (written aside, then renamed), the background child's first.
    sleep 300 &
    echo $! >"$target/grandchild.tmp" && mv "$target/grandchild.tmp" "$target/grandchild"
    echo $$ >"$target/pid.tmp" && mv "$target/pid.tmp" "$target/pid"
    wait
    ;;
esac
echo "<output><string>$command done</string></output>"
