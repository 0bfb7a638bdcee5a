#!/usr/bin/env bash
# Installs from the Debian packages what the build needs beyond a C++
# compiler, CMake and GoogleTest, when missing:
#   build    CLI11 (header-only argument parser), help2man (man pages),
#            gemmi (header-only CIF writer), and for the tests gemmi's
#            CIF reader (its PEGTL parser) and its Python module; zlib and
#            libbz2 (compressed input); pybind11 with the headers and numpy
#            of Debian's python3 (the Python module)
#   test     the picture tests' renderers (rsvg-convert, librsvg2-bin, and
#            headless Chromium, with the DejaVu fonts), libpng and expat to
#            read their PNG and parse the SVG; the readers the pattern files
#            are read back with: xyconv (libxy-bin, the reader behind
#            fityk) and fityk's command line, cfityk; xrayutilities, the
#            independent reader the real measurements are compared with; GNU
#            time, which tells the peak memory of a run; pytest for the
#            Python module's tests
#   bench    xyconv (libxy-bin) and xrayutilities, which the benchmarks set
#            the program and the Python module against
#   package  dpkg-dev and file, which CPack's Debian package uses to find
#            the libraries the programs need
# Exit status 3 means an install failed (no network, a package the registry
# lacks, ...): its reason is the last line printed on standard output.
set -uo pipefail

installed() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || return 1
    done
}

. "$(dirname "$0")/install-steps.sh"

want=()
for part in "$@"; do
    case $part in
    build) want+=(libcli11-dev help2man gemmi-dev tao-pegtl-dev python3-gemmi zlib1g-dev libbz2-dev
                 pybind11-dev python3-dev python3-numpy) ;;
    test) want+=(librsvg2-bin libpng-dev libexpat1-dev chromium fonts-dejavu-core libxy-bin fityk
                python3-xrayutilities time python3-pytest) ;;
    package) want+=(dpkg-dev file) ;;
    bench) want+=(libxy-bin python3-xrayutilities) ;;
    *)
        echo "build-deps: unknown part '$part'" >&2
        exit 2
        ;;
    esac
done
[ ${#want[@]} -eq 0 ] || installed "${want[@]}" && exit 0

start=$SECONDS
step "${want[*]}" apt-get update -q
step "${want[*]}" apt-get install -y -q "${want[@]}"
echo "build-deps: ${want[*]} installed in $((SECONDS - start)) s" >&2
exit 0
