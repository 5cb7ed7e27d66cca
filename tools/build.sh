#!/bin/bash
# Configures and builds one or both targets: tools/build.sh [i686|x86_64]...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
((${#targets[@]})) || targets=(i686 x86_64)
for arch in "${targets[@]}"; do
    if [[ ! -f "$root/build/$arch/build.ninja" ]]; then
        cmake -G Ninja -S "$root" -B "$root/build/$arch" \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$arch-w64-mingw32.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    cmake --build "$root/build/$arch"
done
