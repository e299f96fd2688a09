#!/bin/sh
# The message digest of a secret text read from standard input, so that the text never appears in
# a command line or in the process list.
# Usage: digest.sh [ALGORITHM]  (md5, sha1, sha256 (the default) or sha512), the text as the first line of stdin
LC_ALL=C
export LC_ALL
here=$(dirname "$0")

algorithm=${1:-sha256}
case $algorithm in
md5 | sha1 | sha256 | sha512) ;;
*) echo "ERROR:digest.sh: unknown algorithm: $algorithm"; exit 1 ;;
esac
if ! command -v "${algorithm}sum" >/dev/null 2>&1; then
    echo "ERROR:${algorithm}sum is not installed on this host"
    exit 1
fi

IFS= read -r text || [ -n "$text" ] || {
    echo "ERROR:No text to digest"
    exit 1
}
digest=$(printf '%s' "$text" | "${algorithm}sum")
length=$(printf '%s' "$text" | wc -c)

printf '%s\t%s\t%s\n' "$algorithm" "${digest%% *}" "$length" |
    awk -f "$here/records.awk" -v type=Digest -v single=1 -v fields=Algorithm:string,Digest:string,Length:int
