#!/usr/bin/env bash
# Fails when a Windows executable imports a DLL statically that is not on the
# allowed list; delay-loaded DLLs (their own table) are not static imports.
#   check-imports.sh <objdump> <program.exe> <dll,dll,...>   (names without .dll)
# Prints both tables either way.
set -euo pipefail
objdump=$1 exe=$2 allowed=,$(echo "$3" | tr '[:upper:]' '[:lower:]'),

dump=$("$objdump" -p "$exe")
# objdump lists the import table under "The Import Tables", one "DLL Name: X"
# a DLL; binutils 2.40's objdump does not read the delay-import directory.
static=$(awk '/^The Import Tables/{t=1} /^The .*Tables/ && !/^The Import Tables/{t=0} t && /DLL Name:/{print $3}' <<<"$dump")
delayed=$(python3 "$(dirname "$0")/delay-import-directory.py" list "$exe")
echo "$(basename "$exe"): static imports: $(echo $static); delay-loaded: $(echo ${delayed:-none})"

bad=
for dll in $static; do
  name=$(echo "${dll%.*}" | tr '[:upper:]' '[:lower:]')
  case $allowed in *,"$name",*) ;; *) bad="$bad $dll" ;; esac
done
if [ -n "$bad" ]; then
  echo "$(basename "$exe") imports statically what is not a KnownDLL:$bad" >&2
  echo "(delay-load it: QUILMER_DELAY_IMPORTS in CMakeLists.txt)" >&2
  exit 1
fi
