#!/usr/bin/env bash
# The map of the code stays true: every folder under src/ is named in
# docs/architecture.md, and the installer core includes none of the
# subsystems above it.
set -u
top=${2:-$(cd "$(dirname "$0")/../.." && pwd)}
cd "$top" || exit 1
failures=0
while IFS= read -r folder; do
  if ! grep -qF "\`$folder\`" docs/architecture.md; then
    echo "docs/architecture.md does not name $folder"
    failures=$((failures + 1))
  fi
done < <(find src -mindepth 1 -type d | sort)
if grep -rnE '#include "(detect|packages|preserve|system)/' src/core; then
  echo "src/core includes a subsystem above it (above)"
  failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "layout: every folder named, the core includes no subsystem"
[ "$failures" -eq 0 ]
