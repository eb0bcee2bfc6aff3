#!/bin/bash
# Checks the layering of src/: every C++ file includes only from its own
# folder and the folders below it, and a system header outside the C and C++
# standard libraries only where its platform belongs: Windows headers in the
# Win32 shell (src/app) and the platform's *_win twins, POSIX headers in the
# platform's *_posix twins, processor intrinsics in the platform layer. (The
# resource script, which the resource compiler reads, is no C++ file.)
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

# Headers by where they may stand: the standard libraries' anywhere; the
# intrinsics in the platform layer; POSIX ones (and sys/, linux/, ...) in
# the _posix twins; any other is taken for a Windows header.
standard=" algorithm any array atomic barrier bit bitset charconv chrono compare complex concepts
    condition_variable coroutine deque exception execution filesystem format forward_list fstream
    functional future initializer_list iomanip ios iosfwd iostream istream iterator latch limits
    list locale map memory memory_resource mutex new numbers numeric optional ostream queue random
    ranges ratio regex scoped_allocator semaphore set shared_mutex source_location span sstream
    stack stdexcept stop_token streambuf string string_view syncstream system_error thread tuple
    type_traits typeindex typeinfo unordered_map unordered_set utility valarray variant vector
    version cassert cctype cerrno cfenv cfloat cinttypes climits clocale cmath csetjmp csignal
    cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype assert.h complex.h
    ctype.h errno.h fenv.h float.h inttypes.h iso646.h limits.h locale.h math.h setjmp.h signal.h
    stdalign.h stdarg.h stdatomic.h stdbool.h stddef.h stdint.h stdio.h stdlib.h stdnoreturn.h
    string.h tgmath.h threads.h time.h uchar.h wchar.h wctype.h "
posix=" unistd.h pthread.h sched.h fcntl.h dirent.h dlfcn.h poll.h semaphore.h spawn.h strings.h
    termios.h pwd.h grp.h glob.h fnmatch.h syslog.h libgen.h netdb.h aio.h malloc.h "
standard=$(tr -s ' \n' ' ' <<<"$standard")
posix=$(tr -s ' \n' ' ' <<<"$posix")
angle_include='^[[:space:]]*#[[:space:]]*include[[:space:]]*<([^>]+)>'

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
        elif [[ ${line,,} =~ $angle_include ]]; then
            header=${BASH_REMATCH[1]}
            if [[ $standard == *" $header "* ]]; then
                continue
            elif [[ $header == *intrin.h ]]; then
                [ "$layer" = platform ] ||
                    breach "$relative:$line_number: <$header> (intrinsics) outside the platform layer"
            elif [[ $posix == *" $header "* || $header == */* ]]; then
                [[ $relative == platform/*_posix.* ]] ||
                    breach "$relative:$line_number: <$header> (POSIX) outside the platform's _posix twins"
            elif [ "$layer" != app ] && ! [[ $relative == platform/*_win.* ]]; then
                breach "$relative:$line_number: <$header> (Windows) outside src/app and the platform's _win twins"
            fi
        fi
    done <"$file"
done < <(find "$src" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)

if [ "$breaches" -gt 0 ]; then
    echo "$breaches include(s) break the layering"
    exit 1
fi
echo "layering kept: $(find "$src" -type f \( -name '*.cpp' -o -name '*.h' \) | wc -l) files"
