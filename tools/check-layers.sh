#!/usr/bin/env bash
# The folders form layers and a file includes only from its own folder or the layers below it:
#   app/  >  forms/, online/  >  windowkit/, linkdrop/ (which reads dropped pages as bookmark files)
#   >  the rooms over the data (bookmarkfile/, search/, linkcheck/, backups/)  >  data/, platform/
#   >  vault/
# (forms/ may read online/'s settings: the About box shows the support address.)
# Folders of one layer do not include each other.
# Prints every include line that runs upwards or sideways and fails when there is one.
set -uo pipefail
cd "$(dirname "$0")/.."

declare -A rank=(
    [app]=6
    [forms]=5 [online]=5
    [windowkit]=4 [linkdrop]=4
    [bookmarkfile]=3 [search]=3 [linkcheck]=3 [backups]=3
    [data]=2 [platform]=2
    [vault]=1
)

bad=0
for folder in "${!rank[@]}"; do
    [ -d "$folder" ] || continue
    while IFS= read -r line; do
        file=${line%%:*}
        target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$line")
        [ "$target" = "$folder" ] && continue
        [ "$folder" = forms ] && [ "$target" = online ] && continue
        if [ "${rank[$target]:-0}" -ge "${rank[$folder]}" ]; then
            echo "upward include in $file: ${line#*:}"
            bad=1
        fi
    done < <(grep -rn --include='*.cpp' --include='*.h' '#include "[a-z]*/' "$folder" | sed 's/:[0-9]*:/:/')
done
[ "$bad" -eq 0 ] && echo "every include runs downwards"
exit "$bad"
