#!/bin/bash
# Configures and builds targets: tools/build.sh [i686|x86_64|native]...
# (native: the Windows-free logic and its tests under the sanitizers)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
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
    cmake --build "$root/build/$arch"
done
