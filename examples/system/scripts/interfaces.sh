#!/bin/sh
# Network interfaces as the kernel shows them under /sys/class/net.
# Usage: interfaces.sh [--up BOOL] [--name NAME]
#   --up true|false  only interfaces whose operational state is (not) "up"
#   --name NAME      exactly this interface, printed as one structure; ERROR: when there is none
LC_ALL=C
export LC_ALL
here=$(dirname "$0")

up=
name=
while [ $# -gt 0 ]; do
    case $1 in
    --up) up=$2; shift ;;
    --name) name=$2; shift ;;
    *) echo "ERROR:interfaces.sh: unknown argument: $1"; exit 1 ;;
    esac
    shift
done
# The words the tool accepts for a boolean parameter.
case $up in
'') ;;
1 | yes | y | true | True | t | T) up=true ;;
*) up=false ;;
esac

net=/sys/class/net
if [ ! -d "$net" ]; then
    echo "ERROR:$net is not available on this host"
    exit 1
fi
if [ -n "$name" ] && [ ! -e "$net/$name" ]; then
    echo "ERROR:No network interface named $name"
    exit 1
fi

# Reads one attribute file; virtual devices refuse some (speed), which then read as empty.
attr() {
    value=
    [ -r "$1" ] && read -r value <"$1" 2>/dev/null
    printf '%s' "$value"
}

for dev in "$net"/*; do
    iface=${dev##*/}
    [ -n "$name" ] && [ "$iface" != "$name" ] && continue
    state=$(attr "$dev/operstate")
    if [ -n "$up" ]; then
        if [ "$state" = up ]; then is_up=true; else is_up=false; fi
        [ "$is_up" != "$up" ] && continue
    fi
    speed=$(attr "$dev/speed")
    case $speed in -* | '') speed=0 ;; esac
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$iface" "$state" "$(attr "$dev/address")" \
        "$(attr "$dev/mtu")" "$speed" \
        "$(attr "$dev/statistics/rx_bytes")" "$(attr "$dev/statistics/tx_bytes")" \
        "$(attr "$dev/statistics/rx_packets")" "$(attr "$dev/statistics/tx_packets")"
done | awk -f "$here/records.awk" -v type=NetworkInterface -v single="$([ -n "$name" ] && echo 1)" \
    -v fields=Name:string,State:string,Address:string,Mtu:int,Speed:int,Statistics.RxBytes:int,Statistics.TxBytes:int,Statistics.RxPackets:int,Statistics.TxPackets:int \
    -v nested=Statistics=InterfaceStatistics
