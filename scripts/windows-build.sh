#!/usr/bin/env bash
# Cross-compiles orvalt.exe and g2dump.exe for 32-bit Windows consoles
# (mingw-w64 i686, statically linked, Release) into build/windows.
# Installs the toolchain first when it is missing (exit status 3 when that fails).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${BUILD_WINDOWS:-build/windows}
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}

scripts/windows-deps.sh toolchain
scripts/build-deps.sh build

start=$SECONDS
cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
      -DCMAKE_BUILD_TYPE=Release -DORVALT_TESTS=OFF -DORVALT_WERROR=ON
cmake --build "$BUILD" --target orvalt g2dump -j "$JOBS"
echo "windows-build: $BUILD/driver/orvalt.exe and $BUILD/programs/g2dump.exe built in" \
     "$((SECONDS - start)) s"
