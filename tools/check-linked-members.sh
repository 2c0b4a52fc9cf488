#!/usr/bin/env bash
# Fails when the link took a library member that the program's own runtime
# pieces (runtime/) stand in for: a call the replacement lacks pulls the
# library's member back in, and the link-time optimised link does not report
# the duplicate definitions that follow, so the link map is read instead.
#   check-linked-members.sh <program.map> <archive(member)>...
#   (an argument ending in "(" matches every member of that archive)
set -euo pipefail
map=$1
shift
included=$(sed -n '/^Archive member included/,/^Discarded input sections/p' "$map" \
           | grep -oE '[^/ ]+\.a\([^)]*\)' | sort -u)
bad=
for member in "$@"; do
  if grep -qF -- "$member" <<<"$included"; then
    bad="$bad $member"
  fi
done
if [ -n "$bad" ]; then
  echo "$(basename "$map" .map) links library members that runtime/ replaces:$bad" >&2
  echo "(the program calls what the replacement does not define: see the map's reasons)" >&2
  exit 1
fi
echo "$(basename "$map" .map): none of the $# replaced library members is linked"
