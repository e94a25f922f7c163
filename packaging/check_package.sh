#!/usr/bin/env bash
# Checks the Debian package as an operator gets it, in a folder of its own:
#
#   check_package.sh build CPACK CPACK_CONFIG DIR FILE
#       builds DIR/FILE from the built tree with CPACK and unpacks it with
#       dpkg-deb -x into DIR/root; checks that it holds the three programs
#       only, and the icon of the desktop entry in every size
#   check_package.sh version DIR VERSION
#       the unpacked tavelin --version, without a display, prints "tavelin VERSION",
#       then "sha256 HASH  PATH" of the executable itself
#   check_package.sh list-ports DIR
#       the unpacked tavelin --list-ports, without a display, ends with status 0
#       and prints lines of three tab-separated fields, the first a device path
#   check_package.sh unit DIR SYSTEMD_ANALYZE
#       systemd-analyze verify passes two instances of the unpacked template
#       unit, one named after a device (ttyS0) and one after an adapter's
#       escaped /dev/serial/by-id path, whose programs and manual page it
#       finds in DIR/root; the unit follows its device and keeps instances
#       apart; systemd-analyze security rates each exposure 2.0 or lower
set -euo pipefail

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# The unpacked programs run as from a terminal with no graphical session.
without_display() {
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"
}

check_icons() {
  local root=$1 icon size png dimensions
  icon=$(sed -n 's/^Icon=//p' "$root"/usr/share/applications/*.desktop)
  [[ -n $icon ]] || fail "no desktop entry with an Icon key in the package"
  [[ -f $root/usr/share/icons/hicolor/scalable/apps/$icon.svg ]] || fail "no scalable icon $icon.svg"
  for size in 16 24 32 48 64 128 256; do
    png=$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
    [[ -f $png ]] || fail "no icon $png"
    # Width and height: the big-endian words at bytes 16 and 20 of a PNG.
    dimensions=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
    [[ $dimensions == "${size}x${size}" ]] || fail "$png is $dimensions"
  done
}

build() {
  local cpack=$1 config=$2 dir=$3 file=$4 programs
  rm -rf "$dir"
  mkdir -p "$dir"
  "$cpack" --config "$config" -B "$dir"
  [[ -f $dir/$file ]] || fail "cpack made no $dir/$file"
  dpkg-deb -x "$dir/$file" "$dir/root"
  programs=$(ls "$dir/root/usr/bin" | tr '\n' ' ')
  [[ $programs == "tavelin tavelin-sim tavelind " ]] || fail "usr/bin holds: $programs"
  check_icons "$dir/root"
  echo "$dir/$file: built and unpacked into $dir/root"
}

version() {
  local dir=$1 expected=$2 output hash
  local program="$dir/root/usr/bin/tavelin"
  output=$(without_display "$program" --version) || fail "tavelin --version ended with status $?"
  echo "$output"
  hash=$(sha256sum "$program") || fail "cannot hash $program"
  [[ $output == "tavelin $expected"$'\n'"sha256 ${hash%% *}  $(readlink -f "$program")" ]] ||
    fail "expected \"tavelin $expected\", then the executable's SHA-256 and path"
}

list_ports() {
  local dir=$1 output
  output=$(without_display "$dir/root/usr/bin/tavelin" --list-ports) || fail "tavelin --list-ports ended with status $?"
  printf '%s\n' "$output"
  [[ -z $output ]] && return 0
  awk -F'\t' 'NF != 3 || $1 !~ /^\/dev\// { print "not device, description, vendor:product: " $0; bad = 1 }
              END { exit bad }' <<<"$output" || fail "a line is not three tab-separated fields"
}

# One instance of the unit in DIR: verify says nothing, the exposure is 2.0
# or lower.
check_instance() {
  local analyze=$1 unit=$2 report exposure
  report=$("$analyze" verify "$unit" 2>&1) || fail "systemd-analyze verify $unit failed: $report"
  [[ -z $report ]] || fail "systemd-analyze verify $unit: $report"
  exposure=$("$analyze" security --offline=true "$unit" 2>&1 |
             sed -nE 's/.*Overall exposure level for [^:]*: ([0-9.]+).*/\1/p')
  echo "$(basename "$unit"): exposure $exposure"
  [[ -n $exposure ]] || fail "no exposure for $unit"
  awk -v e="$exposure" 'BEGIN { exit !(e <= 2.0) }' || fail "$unit: exposure $exposure above 2.0"
}

unit() {
  local dir analyze=$2 units template by_id key
  dir=$(realpath "$1")
  units=$dir/units
  rm -rf "$units"
  mkdir -p "$units"
  template=$units/tavelin@.service
  # The unit as installed, its programs taken from the unpacked tree.
  sed "s#/usr/bin/#$dir/root/usr/bin/#g; s#^Documentation=.*#Documentation=file://$dir/root/usr/share/man/man8/tavelind.8.gz#" \
    "$dir/root/usr/lib/systemd/system/tavelin@.service" >"$template"
  # What keeps an instance on its device and apart from the others.
  for key in 'BindsTo=dev-%i.device' 'After=dev-%i.device' 'WantedBy=dev-%i.device' 'Restart=on-failure' \
             'DeviceAllow=/dev/%I rw' 'StateDirectory=tavelin/%i' 'LogsDirectory=tavelin/%i' \
             'LoadCredential=mqtt-password:/etc/tavelin/%i.mqtt-password'; do
    grep -qxF "$key" "$template" || fail "the unit lacks $key"
  done
  grep -qE '^ExecStart=.* --config /etc/tavelin/%i\.conf --port /dev/%I$' "$template" ||
    fail "ExecStart does not take the settings of %i and the device /dev/%I"
  grep -qE '^SetCredential=mqtt-password:' "$template" || fail "no default for the credential mqtt-password"
  by_id=$("$(dirname "$analyze")/systemd-escape" --path /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0)
  for instance in ttyS0 "${by_id#dev-}"; do
    ln -s tavelin@.service "$units/tavelin@$instance.service"
    check_instance "$analyze" "$units/tavelin@$instance.service"
  done
}

case ${1:-} in
build) build "${@:2}" ;;
version) version "${@:2}" ;;
list-ports) list_ports "${@:2}" ;;
unit) unit "${@:2}" ;;
*) fail "usage: $0 build|version|list-ports|unit ..." ;;
esac
