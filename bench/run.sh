#!/usr/bin/env bash
# Times varnok against its floors, each pair back to back in one hyperfine run, and prints the
# medians and their ratios, then the CPU times and theirs: bench/run.sh [BUILD_DIR] [WHAT...]
# WHAT is any of startup, descriptors, document, external (default: all). Needs hyperfine and
# xmllint (scripts/install-deps --bench). Work files go to $BENCH_DIR (default /tmp/varnok-bench);
# BENCH_RUNS sets the runs per command, BENCH_NO_CACHE=1 skips the cache rows (a build without it).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../build}" && pwd)"
shift || true
what=("${@:-startup descriptors document external}")
varnok="$build/tools/varnok"
work="${BENCH_DIR:-/tmp/varnok-bench}"
runs="${BENCH_RUNS:-30}"
mkdir -p "$work"
export XDG_CACHE_HOME="$work/cache"

# median: for each command of the last hyperfine run, its median wall time and its mean CPU time
# (user and system), in milliseconds.
median() {
    python3 - "$work/last.json" <<'PY'
import json, sys
for r in json.load(open(sys.argv[1]))["results"]:
    print("%.3f %.3f" % (r["median"] * 1000, (r["user"] + r["system"]) * 1000))
PY
}

# compare LABEL CMD FLOOR_CMD [hyperfine options]: one line "LABEL varnok floor ratio", and the same
# for CPU time, which other work on a shared machine disturbs less than wall time.
compare() {
    local label="$1" cmd="$2" floor="$3"
    shift 3
    hyperfine -N --style none --runs "${COMPARE_RUNS:-$runs}" --warmup "${COMPARE_WARMUP:-3}" "$@" --export-json "$work/last.json" \
        "$cmd" "$floor" >/dev/null
    local a b ac bc
    { read -r a ac; read -r b bc; } < <(median)
    printf '%-44s %10s ms %10s ms %6.2f %10s ms %10s ms %6.2f\n' "$label" "$a" "$b" "$(python3 -c "print($a/$b)")" \
        "$ac" "$bc" "$(python3 -c "print($ac/$bc)")"
}

printf '%-44s %13s %13s %6s %13s %13s %6s\n' "what" "varnok" "floor" "ratio" "varnok cpu" "floor cpu" "ratio"
for w in ${what[*]}; do
    case "$w" in
    startup)
        [ -x "$work/hello" ] || printf '#include <iostream>\nint main(){std::cout<<"hello"<<std::endl;}\n' |
            c++ -O2 -x c++ - -o "$work/hello"
        compare "start-up (vs C++ hello-world)" "$varnok varnok command list -c zzz" "$work/hello"
        ;;
    descriptors)
        for n in 50 500 2000; do
            dir="$work/d$n"
            [ -d "$dir" ] || python3 "$here/make_descriptors.py" "$n" "$dir"
            files=$(ls "$dir"/*.xml | tr '\n' ' ')
            compare "$n descriptors, no cache (vs xmllint)" \
                "env VARNOK_NO_CACHE=1 $varnok --plugin-dir $dir varnok command list -c zzz" \
                "xmllint --noout $files"
            [ "${BENCH_NO_CACHE:-0}" = 1 ] && continue
            rm -rf "$XDG_CACHE_HOME"
            compare "$n descriptors, cold cache (vs xmllint)" \
                "$varnok --plugin-dir $dir varnok command list -c zzz" "xmllint --noout $files" \
                --prepare "rm -rf $XDG_CACHE_HOME"
            "$varnok" --plugin-dir "$dir" varnok command list -c zzz >/dev/null || true
            compare "$n descriptors, warm cache (vs xmllint)" \
                "$varnok --plugin-dir $dir varnok command list -c zzz" "xmllint --noout $files"
            compare "$n descriptors, warm cache (vs start-up)" \
                "$varnok --plugin-dir $dir varnok command list -c zzz" \
                "$varnok varnok command list -c zzz"
        done
        ;;
    document)
        doc="$work/doc100000.xml"
        [ -f "$doc" ] || python3 "$here/make_document.py" 100000 "$doc" "$work/docdir"
        for f in json table xml; do
            COMPARE_RUNS=5 COMPARE_WARMUP=1 compare "48 MB document, $f, pipe (vs xmllint)" \
                "$varnok --plugin-dir $work/docdir --formatter $f bench document show" \
                "xmllint --noout $doc" --output=pipe
        done
        ;;
    external)
        [ -d "$work/docdir" ] || python3 "$here/make_document.py" 100000 "$work/doc100000.xml" "$work/docdir"
        "$varnok" --plugin-dir "$work/docdir" bench document row >/dev/null
        compare "external command, one row (vs start-up)" \
            "$varnok --plugin-dir $work/docdir bench document row" "$varnok varnok command list -c zzz"
        compare "external command, one row (vs sh -c printf)" \
            "$varnok --plugin-dir $work/docdir bench document row" "sh -c 'printf x'"
        ;;
    esac
done
