#!/usr/bin/env bash
# Installs from the Debian packages what the Windows build and its test run
# need, when missing:
#   toolchain  the mingw-w64 i686 cross compiler (posix threads) and zlib for it
#   wine       the i386 architecture with wine and wine32
# Exit status 3 means an install failed (no network, a package the registry
# lacks, ...): its reason is the last line printed on standard output.
set -uo pipefail

have_toolchain() {
    command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1 &&
        dpkg-query -W -f='${Status}' libz-mingw-w64-dev 2>/dev/null | grep -q 'install ok installed'
}
have_wine() {
    command -v wine >/dev/null 2>&1 && command -v wineserver >/dev/null 2>&1 &&
        dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'
}

. "$(dirname "$0")/install-steps.sh"

updated=0
update() {
    [ "$updated" -eq 1 ] && return
    step "$1" apt-get update -q
    updated=1
}

for want in "$@"; do
    case $want in
    toolchain)
        have_toolchain && continue
        start=$SECONDS
        update "the mingw-w64 toolchain"
        step "g++-mingw-w64-i686-posix libz-mingw-w64-dev" \
            apt-get install -y -q g++-mingw-w64-i686-posix libz-mingw-w64-dev
        echo "windows-deps: mingw-w64 toolchain installed in $((SECONDS - start)) s" >&2
        ;;
    wine)
        have_wine && continue
        start=$SECONDS
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            step "wine32 (i386 architecture)" dpkg --add-architecture i386
            updated=0
        fi
        update "wine32"
        step "wine, wine32:i386" apt-get install -y -q wine wine32:i386
        echo "windows-deps: wine installed in $((SECONDS - start)) s" >&2
        ;;
    *)
        echo "windows-deps: unknown part '$want'" >&2
        exit 2
        ;;
    esac
done
exit 0
