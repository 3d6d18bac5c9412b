#!/usr/bin/env bash
# Fails when a folder includes a header from a folder above it. The layers,
# lowest first: platform, resources, host, xml, framework, image, processes,
# module; cli, examples, tools, bench and tests sit beside the top and may
# include what they need except module internals through anything but the
# four exports (cli and examples include no module folder at all).
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/../.." && pwd)}"
declare -A allowed=(
  [platform]="platform"
  [resources]="platform resources"
  [host]="platform host"
  [xml]="platform resources host xml"
  [framework]="platform resources host xml framework"
  [image]="platform resources host framework image"
  [processes]="platform resources host framework image processes"
  [module]="platform resources host framework image processes module"
  [cli]="platform host cli"
  [examples]="platform host examples"
)
status=0
for folder in "${!allowed[@]}"; do
  [ -d "$root/$folder" ] || continue
  while IFS= read -r line; do
    file="${line%%:*}"
    target="$(sed -E 's/.*#include "([a-z]+)\/.*/\1/' <<<"$line")"
    case " ${allowed[$folder]} " in
      *" $target "*) ;;
      *) echo "upward include: ${file#"$root"/} includes $target/"; status=1 ;;
    esac
  done < <(grep -rnE '^#include "[a-z]+/' "$root/$folder" --include=*.h --include=*.cpp || true)
done
[ $status -eq 0 ] && echo "include layers: ok"
exit $status
