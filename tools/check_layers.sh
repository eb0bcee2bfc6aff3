#!/bin/bash
# Checks the layering of src/: every C++ file includes only from its own
# folder and the folders below it, and <windows.h> stands only in the Win32
# shell and the platform's Win32 twins.
#
#   app  (Win32 only; also includes res)
#    |
#   shell --> player --> decode --> platform
#
# Each layer may include from every layer to its right. Prints one line per
# breach and exits 1 when there is any.
#
# usage: tools/check_layers.sh [SRC_DIR]   (default: the src/ of this checkout)
set -uo pipefail
src=$(cd "${1:-$(dirname "$0")/../src}" && pwd)

# The folders each layer may include from.
declare -A allowed=(
    [platform]="platform"
    [decode]="platform decode"
    [player]="platform decode player"
    [shell]="platform decode player shell"
    [app]="platform decode player shell app res"
    [res]="res"
)

breaches=0
breach() {
    echo "$1"
    breaches=$((breaches + 1))
}

while IFS= read -r -d '' file; do
    relative=${file#"$src"/}
    layer=${relative%%/*}
    if [ -z "${allowed[$layer]:-}" ]; then
        breach "$relative: not in a layer folder (${!allowed[*]})"
        continue
    fi
    line_number=0
    while IFS= read -r line; do
        line_number=$((line_number + 1))
        if [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]]; then
            target=${BASH_REMATCH[1]}
            # "folder/file.h" names a layer from src/; anything else is taken
            # relative to the including file.
            if [[ $target == */* ]] && [ -n "${allowed[${target%%/*}]:-}" ]; then
                target_layer=${target%%/*}
            else
                resolved=$(realpath -m "$(dirname "$file")/$target")
                case $resolved in
                    "$src"/*/*) target_layer=${resolved#"$src"/}; target_layer=${target_layer%%/*} ;;
                    *) breach "$relative:$line_number: includes \"$target\" from outside src/"; continue ;;
                esac
            fi
            if [[ " ${allowed[$layer]} " != *" $target_layer "* ]]; then
                breach "$relative:$line_number: $layer includes $target_layer (\"${BASH_REMATCH[1]}\")"
            fi
        elif [[ ${line,,} =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<windows\.h\> ]]; then
            if [ "$layer" != app ] && ! [[ $relative == platform/*_win.cpp ]]; then
                breach "$relative:$line_number: <windows.h> outside src/app and the platform's _win twins"
            fi
        fi
    done <"$file"
done < <(find "$src" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)

if [ "$breaches" -gt 0 ]; then
    echo "$breaches include(s) break the layering"
    exit 1
fi
echo "layering kept: $(find "$src" -type f \( -name '*.cpp' -o -name '*.h' \) | wc -l) files"
