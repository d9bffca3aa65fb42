#!/usr/bin/env bash
# The folders form layers and a file includes only from its own layer or the ones below it:
#   app/  >  forms/, online/  >  windowkit/  >  data/, platform/
# (forms/ may read online/'s settings: the About box shows the support address.)
# Prints every include line that runs upwards or sideways and fails when there is one.
set -uo pipefail
cd "$(dirname "$0")/.."

rank() {
    case "$1" in
    app) echo 4 ;;
    forms | online) echo 3 ;;
    windowkit) echo 2 ;;
    data | platform) echo 1 ;;
    *) echo 0 ;;
    esac
}

bad=0
for folder in app forms online windowkit data platform; do
    while IFS= read -r line; do
        file=${line%%:*}
        target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$line")
        [ "$target" = "$folder" ] && continue
        [ "$folder" = forms ] && [ "$target" = online ] && continue
        if [ "$(rank "$target")" -ge "$(rank "$folder")" ]; then
            echo "upward include in $file: ${line#*:}"
            bad=1
        fi
    done < <(grep -rn --include='*.cpp' --include='*.h' '#include "[a-z]*/' "$folder" | sed 's/:[0-9]*:/:/')
done
[ "$bad" -eq 0 ] && echo "every include runs downwards"
exit "$bad"
