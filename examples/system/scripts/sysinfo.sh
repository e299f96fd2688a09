#!/bin/sh
# Host name, kernel, operating system, processors, memory and uptime of this host, as one structure.
# Usage: sysinfo.sh
LC_ALL=C
export LC_ALL
here=$(dirname "$0")

if [ $# -gt 0 ]; then
    echo "ERROR:sysinfo.sh takes no arguments"
    exit 1
fi

os=
if [ -r /etc/os-release ]; then
    os=$(. /etc/os-release && printf '%s' "${PRETTY_NAME:-$NAME}")
fi
processors=$(getconf _NPROCESSORS_ONLN 2>/dev/null || grep -c '^processor' /proc/cpuinfo)
memory=$(awk '$1 == "MemTotal:" { print $2 }' /proc/meminfo 2>/dev/null)
uptime=
[ -r /proc/uptime ] && read -r uptime _ </proc/uptime
uptime=${uptime%%.*}

printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$(uname -n)" "$os" "$(uname -s)" "$(uname -r)" "$(uname -m)" \
    "$processors" "$memory" "$uptime" |
    awk -f "$here/records.awk" -v type=SystemInfo -v single=1 \
        -v fields=Hostname:string,OperatingSystem:string,Kernel:string,Release:string,Machine:string,Processors:int,Memory:int,Uptime:int
