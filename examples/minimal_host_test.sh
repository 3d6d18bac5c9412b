#!/usr/bin/env bash
# Runs the minimal host on a sample page: Rotate 90 must swap the page's
# width and height (Rotate 0 gives the input's own size) and the printed XML
# must name the process's ProgID; an unknown ProgID fails cleanly.
set -euo pipefail
host=$1 module=$2 input=$3 out=$4
mkdir -p "$out"
size() { sed -nE 's/.*: ([0-9]+) x ([0-9]+),.*/\1 \2/p' "$1"; }
"$host" "$module" "$input" "$out/same.tif" ZRLeafmendClient91.Rotate.1 RotationAngle=0 > /dev/null 2> "$out/log0"
xml=$("$host" "$module" "$input" "$out/turned.tif" ZRLeafmendClient91.Rotate.1 RotationAngle=90 2> "$out/log")
cat "$out/log"
grep -q 'ProgID="ZRLeafmendClient91.Rotate.1"' <<< "$xml" || { echo "no ProgID in: $xml"; exit 1; }
grep -q 'Name="RotationAngle"' <<< "$xml" || { echo "no RotationAngle in: $xml"; exit 1; }
read -r iw ih < <(size "$out/log0")
read -r w h < <(size "$out/log")
[ "$w" = "$ih" ] && [ "$h" = "$iw" ] || { echo "expected ${ih} x ${iw}, got ${w} x ${h}"; exit 1; }
[ -s "$out/turned.tif" ] || { echo "no output page"; exit 1; }
if "$host" "$module" "$input" "$out/x.tif" ZRLeafmendClient91.NoSuch.1 2> "$out/err"; then
  echo "unknown ProgID accepted"; exit 1
fi
grep -q "CLSIDFromProgID" "$out/err"
echo "minimal host: ok"
