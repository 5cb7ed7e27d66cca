#!/bin/bash
# Configures and builds: tools/build.sh [--target NAME]... [i686|x86_64|native]...
# (native: the Windows-free logic and its tests under the sanitizers).
# Without --target everything of each build is built; with it only the named
# targets and what they need.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
targets=()
names=()
while (($#)); do
    case $1 in
        --target) names+=("$2"); shift 2 ;;
        *) targets+=("$1"); shift ;;
    esac
done
((${#targets[@]})) || targets=(i686 x86_64)
for arch in "${targets[@]}"; do
    if [[ ! -f "$root/build/$arch/build.ninja" ]]; then
        if [[ $arch == native ]]; then
            cmake -G Ninja -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
                -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all" >/dev/null
        else
            cmake -G Ninja -S "$root" -B "$root/build/$arch" \
                -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$arch-w64-mingw32.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
        fi
    fi
    if ((${#names[@]})); then
        cmake --build "$root/build/$arch" --target "${names[@]}"
    else
        cmake --build "$root/build/$arch"
    fi
done
