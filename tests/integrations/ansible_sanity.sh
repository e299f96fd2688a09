#!/bin/sh
# Runs ansible-test sanity on the collection with the Python modules Debian installed.
# Usage: ansible_sanity.sh COLLECTION_DIR [ansible-test sanity options...]
# ansible-test gives each sanity test a virtual environment and installs its tools there with pip,
# from the network. Here each such environment is made instead with the system's site packages and
# marked as complete, so that the tests run with the tools of the Debian packages. Exit status 77
# when ansible-test is missing.
set -u
collection=$1
shift
command -v ansible-test >/dev/null || { echo "ansible-test is not installed (Debian package ansible-core)"; exit 77; }
python=/usr/bin/python3
version=$($python -c 'import sys; print("%d.%d" % sys.version_info[:2])')
log=$(mktemp)
trap 'rm -f "$log"' EXIT
cd "$collection" || exit 1
attempt=0
while :; do
    ansible-test sanity --local --python "$version" --color no "$@" >"$log" 2>&1
    status=$?
    venv=$(sed -n 's|^FATAL: Python [0-9.]* at "\(.*\)/bin/python" does not have pip available\.$|\1|p' "$log")
    if [ -z "$venv" ] || [ "$attempt" -ge 30 ]; then
        cat "$log"
        exit "$status"
    fi
    attempt=$((attempt + 1))
    rm -rf "$venv"
    "$python" -m venv --without-pip --system-site-packages "$venv" || exit 1
    echo '[]' >"$venv/meta.install.json"
    "$venv/bin/python" -c 'import json
try:
    import yaml
except ImportError:
    yaml = None
try:
    from yaml import CLoader
except ImportError:
    CLoader = None
print(json.dumps(dict(yaml=bool(yaml), cloader=bool(CLoader))))' >"$venv/meta.yaml.json"
    : >"$venv/marker.txt"
    echo "ansible_sanity.sh: $venv made from the system's site packages"
done
