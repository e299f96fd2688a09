#!/bin/sh
# Runs the collection's playbooks with ansible-playbook against three local hosts, each with its own
# plugin directory, and checks what only the outside can see: markers of programs that ran, the
# catalog comparison, and that the secrets never reach the output or the log.
# Usage: ansible_fleet.sh ANSIBLE_DIR VARNOK [calls|queries]
#   ANSIBLE_DIR holds ansible_collections/; VARNOK is the varnok binary (varnok-doc and varnok-lint
#   beside it). calls (the default): the commands' results, effects, errors and secrets, and the
#   catalog comparison; queries: check mode and the query options, which need a varnok with
#   --dry-run, --where, --sort and --limit. Exit status 77 when ansible-playbook is not installed or
#   the queries are asked of a varnok without them.
set -eu
root=$(cd "$1" && pwd)
varnok=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
mode=${3:-calls}
tools=$(dirname "$varnok")
fleet=$root/ansible_collections/corvane/varnok/tests/integration/fleet
command -v ansible-playbook >/dev/null || { echo "ansible-playbook is not installed (Debian package ansible-core)"; exit 77; }
if [ "$mode" = queries ] && ! "$varnok" --dry-run varnok command list >/dev/null 2>&1; then
    echo "skipped: $varnok has no --dry-run (nor --where, --sort and --limit) to test check mode and queries with"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/markers" "$work/cache" "$work/logs" "$work/ansible/tmp" "$work/catalogs"
export ANSIBLE_COLLECTIONS_PATH="$root" ANSIBLE_HOME="$work/ansible" ANSIBLE_LOCAL_TEMP="$work/ansible/tmp"
export ANSIBLE_REMOTE_TEMP="$work/ansible/tmp" ANSIBLE_LOG_PATH="$work/logs/ansible.log"
export ANSIBLE_NOCOLOR=1 ANSIBLE_FORCE_COLOR=0 ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_STDOUT_CALLBACK=default
export ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3 ANSIBLE_LOCALHOST_WARNING=0 ANSIBLE_INVENTORY_UNPARSED_WARNING=0

fail() {
    echo "ansible_fleet.sh: $*" >&2
    exit 1
}

# Each host: its descriptor with its name, its number of slots and its directory, and its scripts.
# charlie's --min takes a string: its catalog breaks the compatibility with alpha's.
{
    echo "fleet:"
    echo "  hosts:"
    for spec in alpha:2 bravo:3 charlie:4; do
        host=${spec%:*}
        slots=${spec#*:}
        dir=$work/hosts/$host
        mkdir -p "$dir/scripts"
        cp "$fleet/files/fleet.sh" "$dir/scripts/"
        sed -e "s|@HOST@|$host|g; s|@SLOTS@|$slots|g; s|@DIR@|$dir|g" "$fleet/files/fleet.xml.in" >"$dir/fleet.xml"
        echo "    $host:"
        echo "      host_slots: $slots"
        echo "      fleet_token: tok-$host-Qv7Zr9kW"
        echo "      fleet_pin: pin-$host-Jx4Mw"
    done
    echo "  vars:"
    echo "    ansible_connection: local"
    echo "    ansible_python_interpreter: /usr/bin/python3"
    echo "    varnok: $varnok"
    echo "    work: $work"
} >"$work/inventory.yml"
sed -i 's|<parameter name="min" type="int"|<parameter name="min" type="string"|' "$work/hosts/charlie/fleet.xml"

tasks=0
playbook() {
    name=$1
    shift
    start=$(date +%s.%N)
    if ! ansible-playbook -vvv -i "$work/inventory.yml" "$@" >"$work/logs/$name.out" 2>&1; then
        cat "$work/logs/$name.out"
        fail "$name failed"
    fi
    grep -q 'failed=[1-9]\|unreachable=[1-9]' "$work/logs/$name.out" && { cat "$work/logs/$name.out"; fail "$name: a host failed"; }
    count=$(grep -c '^TASK \[' "$work/logs/$name.out" || true)
    tasks=$((tasks + count))
    echo "$name: $count tasks, $(echo "$(date +%s.%N) - $start" | bc) s"
}

# No secret in any output or in the log, which holds every call at -vvv.
no_secrets() {
    [ -s "$ANSIBLE_LOG_PATH" ] || fail "ansible wrote no log"
    if grep -rn 'Qv7Zr9kW\|Jx4Mw' "$work/logs"; then
        fail "a secret appears in the output or the log"
    fi
}

if [ "$mode" = queries ]; then
    # Check mode: no marker may exist afterwards. The real calls then write them.
    playbook check "$fleet/check.yml"
    for host in alpha bravo charlie; do
        [ ! -e "$work/markers/$host.started" ] || fail "check mode ran the start on $host"
    done
    playbook fleet "$fleet/fleet.yml"
    for host in alpha bravo charlie; do
        [ "$(cat "$work/markers/$host.started")" = nightly ] || fail "the start did not run on $host"
    done
    playbook queries "$fleet/queries.yml"
    no_secrets
    echo "3 hosts, $tasks tasks"
    exit 0
fi

playbook fleet "$fleet/fleet.yml"
for host in alpha bravo charlie; do
    [ "$(cat "$work/markers/$host.started")" = nightly ] || fail "the start did not run on $host"
    [ -e "$work/markers/$host.purged" ] || fail "the purge did not run on $host"
done

# The example playbook compares every catalog with alpha's: bravo's commands are alpha's, charlie's
# --min became a string.
playbook catalogs "$root/ansible_collections/corvane/varnok/playbooks/compare_catalogs.yml" \
    -e catalog_hosts=fleet -e "catalog_dir=$work/catalogs" -e "varnok_executable=$varnok" \
    -e "varnok_lint=$tools/varnok-lint" -e fail_on_break=false \
    -e "{\"varnok_plugin_dirs\": [\"$work/hosts/{{ inventory_hostname }}\"]}"
/usr/bin/python3 - "$work/catalogs" <<'PYTHON' || fail "the catalog comparison is not what it should be"
import json, sys
directory = sys.argv[1]
report = json.load(open(directory + "/compat.json"))
assert {h: r["rc"] for h, r in report.items()} == {"alpha": 0, "bravo": 0, "charlie": 1}, report
assert any("fleet job list" in m and "--min" in m for m in report["charlie"]["messages"]), report
for host in ("alpha", "bravo", "charlie"):
    paths = [c["path"] for c in json.load(open("%s/%s.json" % (directory, host)))["commands"]]
    assert "fleet job start" in paths, (host, paths)
PYTHON

no_secrets
echo "3 hosts, $tasks tasks"
