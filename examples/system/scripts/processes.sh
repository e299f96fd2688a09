#!/bin/sh
# Running processes, read from /proc/<pid>/status (no ps needed).
# Usage: processes.sh [--user NAME]... [--pids N,N,...] [--sort pid|name|user|rss] [--limit N]
#   --user   only processes of these users (repeatable)
#   --pids   only these process ids
#   --sort   order of the list (default pid); rss sorts the largest first
#   --limit  at most this many processes, after sorting
LC_ALL=C
export LC_ALL
here=$(dirname "$0")

users=
pids=
sort_key=pid
limit=
while [ $# -gt 0 ]; do
    case $1 in
    --user) users="$users,$2"; shift ;;
    --pids) pids=$2; shift ;;
    --sort) sort_key=$2; shift ;;
    --limit) limit=$2; shift ;;
    *) echo "ERROR:processes.sh: unknown argument: $1"; exit 1 ;;
    esac
    shift
done

if [ ! -r /proc/self/status ]; then
    echo "ERROR:/proc is not mounted on this host"
    exit 1
fi

tab=$(printf '\t')
case $sort_key in
pid) sort_options="-k1,1n" ;;
name) sort_options="-k4,4 -k1,1n" ;;
user) sort_options="-k3,3 -k1,1n" ;;
rss) sort_options="-k6,6nr -k1,1n" ;;
*) echo "ERROR:processes.sh: unknown sort key: $sort_key"; exit 1 ;;
esac

# One cat over all status files: processes that end meanwhile are skipped quietly. Every status
# file starts with its Name: line, which separates the records. Kernel threads have no VmRSS.
# User names come from /etc/passwd; a uid without an entry is shown as a number.
cat /proc/[0-9]*/status 2>/dev/null | awk -v users="$users" -v pids="$pids" '
function flush() {
    if (pid == "")
        return
    user = (uid in names) ? names[uid] : uid
    if ((users == "" || index(users ",", "," user ",") > 0) &&
        (pids == "" || index("," pids ",", "," pid ",") > 0))
        printf "%s\t%s\t%s\t%s\t%s\t%s\t%s\n", pid, ppid, user, name, state, rss + 0, threads + 0
    pid = ""
}
BEGIN {
    while ((getline line < "/etc/passwd") > 0) {
        split(line, entry, ":")
        if (!(entry[3] in names))
            names[entry[3]] = entry[1]
    }
}
/^Name:/ { flush(); name = substr($0, 7); sub(/^[ \t]+/, "", name); rss = 0; threads = 0; next }
/^State:/ { state = $2; next }
/^Pid:/ { pid = $2; next }
/^PPid:/ { ppid = $2; next }
/^Uid:/ { uid = $2; next }
/^VmRSS:/ { rss = $2; next }
/^Threads:/ { threads = $2; next }
END { flush() }' | sort -t "$tab" $sort_options | {
    if [ -n "$limit" ]; then head -n "$limit"; else cat; fi
} | awk -f "$here/records.awk" -v type=Process \
    -v fields=Pid:int,ParentPid:int,User:string,Name:string,State:string,Rss:int,Threads:int
