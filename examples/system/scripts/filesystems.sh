#!/bin/sh
# Mounted file systems with their sizes: the numbers come from df -P, the types from /proc/mounts.
# Usage: filesystems.sh [--all] [--block-size BYTES] [-t TYPE]...
# Prints an output document (a list of FileSystem structures) or ERROR: lines.
LC_ALL=C
export LC_ALL
here=$(dirname "$0")

all=false
block_size=1024
types=
while [ $# -gt 0 ]; do
    case $1 in
    --all) all=true ;;
    --block-size) block_size=$2; shift ;;
    -t) types="$types,$2"; shift ;;
    *) echo "ERROR:filesystems.sh: unknown argument: $1"; exit 1 ;;
    esac
    shift
done

if ! command -v df >/dev/null 2>&1; then
    echo "ERROR:df is not installed on this host"
    exit 1
fi
df_options=-Pk
[ "$all" = true ] && df_options=-Pka

# df reports in KiB; sizes are rounded up to whole blocks of the requested size, as df rounds.
# /proc/mounts writes blanks in mount points as octal escapes; df writes them as they are.
df $df_options 2>/dev/null | awk -v all="$all" -v bs="$block_size" -v types="$types" '
function unescape(s,    out, code) {
    out = ""
    while (match(s, /\\[0-7][0-7][0-7]/)) {
        code = (substr(s, RSTART + 1, 1) * 64) + (substr(s, RSTART + 2, 1) * 8) + substr(s, RSTART + 3, 1)
        out = out substr(s, 1, RSTART - 1) sprintf("%c", code)
        s = substr(s, RSTART + 4)
    }
    return out s
}
function blocks(kib) { return int((kib * 1024 + bs - 1) / bs) }
FNR == NR { fstype[unescape($2)] = $3; next }
FNR == 1 { next }
{
    mount = $6
    for (i = 7; i <= NF; i++)
        mount = mount " " $i
    type = (mount in fstype) ? fstype[mount] : "unknown"
    if (types != "" && index(types ",", "," type ",") == 0)
        next
    if (all != "true" && $2 == 0)
        next
    capacity = $5
    sub(/%$/, "", capacity)
    if (capacity !~ /^[0-9]+$/)
        capacity = 0
    printf "%s\t%s\t%.0f\t%.0f\t%.0f\t%d\t%s\n", $1, type, blocks($2), blocks($3), blocks($4), capacity, mount
}' /proc/mounts - |
    awk -f "$here/records.awk" -v type=FileSystem \
        -v fields=Filesystem:string,Type:string,Size:int,Used:int,Available:int,Capacity:int,MountedOn:string
