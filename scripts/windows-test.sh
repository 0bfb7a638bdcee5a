#!/usr/bin/env bash
# Runs the end-to-end suite against the Windows build (build/windows, made by
# `make windows`) under Wine, then runs the Linux and the Windows build side by
# side on real measurement files and compares what they print and write.
# Installs wine first when it is missing (exit status 3 when that fails).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

WIN_BUILD=${BUILD_WINDOWS:-build/windows}
E2E_BUILD=build/wine-e2e
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}
ORVALT_EXE=$ROOT/$WIN_BUILD/driver/orvalt.exe
G2DUMP_EXE=$ROOT/$WIN_BUILD/programs/g2dump.exe
[ -f "$ORVALT_EXE" ] && [ -f "$G2DUMP_EXE" ] || { echo "windows-test: run make windows first" >&2; exit 1; }

scripts/windows-deps.sh wine

# The Linux test driver (it starts the program under test with std::system)
# and the Linux programs for the side-by-side comparison.
start=$SECONDS
cmake -S . -B "$E2E_BUILD" -DCMAKE_BUILD_TYPE=Debug -DORVALT_SANITIZE=OFF -DORVALT_WERROR=ON >/dev/null
cmake --build "$E2E_BUILD" --target test_e2e orvalt g2dump -j "$JOBS"
echo "windows-test: test driver built in $((SECONDS - start)) s"

# A private, quiet Wine that never waits for a display: no X or Wayland, no
# offers to install Mono or Gecko, no debug output.
export WINEPREFIX=$ROOT/build/wine-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
export HOME=${HOME:-$ROOT/build}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    start=$SECONDS
    mkdir -p "$WINEPREFIX"
    WINEARCH=win32 timeout 300 wineboot -i </dev/null
    timeout 120 wineserver -w
    echo "windows-test: Wine prefix made in $((SECONDS - start)) s"
fi
# One wineserver for the whole run, so each start of the program is quick
# (one already serving this prefix is used as it is, and left alone).
if wineserver -p 2>/dev/null; then
    trap 'wineserver -k 2>/dev/null || true' EXIT
fi

# The suite, with the Windows program in place of the Linux one.
start=$SECONDS
suite=0
ORVALT_EXE_CMD="wine \"$ORVALT_EXE\"" ORVALT_EXE_WINDOWS=1 G2DUMP_EXE_CMD="wine \"$G2DUMP_EXE\"" \
    timeout 1200 "$E2E_BUILD/tests/e2e/test_e2e" >build/wine-e2e/suite.log 2>&1 || suite=$?
# The whole log when something failed; otherwise the skips and the totals.
if [ "$suite" -ne 0 ]; then
    head -n 4000 build/wine-e2e/suite.log
    echo "windows-test: the whole log is build/wine-e2e/suite.log"
    grep -E '^\[  (PASSED|FAILED|SKIPPED) \]' build/wine-e2e/suite.log || true
else
    grep -E -B1 '^\[  SKIPPED \]|^\[==========\]|^\[  PASSED  \]' build/wine-e2e/suite.log || true
fi
echo "windows-test: end-to-end suite under Wine took $((SECONDS - start)) s"

# Side by side: the same answers to both builds in two scratch folders. The
# transcripts and text files must agree once CRLF, the CP437 frame and the
# Windows form of the folder are brought to the Linux form. Genie files are
# compared through what the two g2dump programs make of them; Genie files that
# are not identical to the bit (the two C runtimes' sin may differ in the last
# bit) are counted and shown.
start=$SECONDS
LINUX_EXE=$ROOT/$E2E_BUILD/driver/orvalt
LINUX_DUMP=$ROOT/$E2E_BUILD/programs/g2dump
CROSS=$ROOT/build/wine-e2e/side-by-side
rm -rf "$CROSS"
failures=0
cases=0
genie_bits=0

to_linux_form() {  # to_linux_form DIR WINDOWS(0/1) < text
    if [ "$2" = 1 ]; then
        local wdir="Z:${1//\//\\}"
        tr -d '\r' | iconv -f CP437 -t UTF-8 | MASK="$wdir" SLASHES=1 awk "$mask_awk"
    else
        MASK="$1" SLASHES=0 awk "$mask_awk"
    fi
}
# Masks ENVIRON["MASK"] as <DIR>; with SLASHES=1 the backslashes of the rest
# of that file name become "/".
mask_awk='{
    w = ENVIRON["MASK"]; out = ""
    while ((p = index($0, w)) > 0) {
        rest = substr($0, p + length(w))
        n = match(rest, / |$/)
        tok = substr(rest, 1, n - 1)
        if (ENVIRON["SLASHES"] == 1) gsub(/\\/, "/", tok)
        out = out substr($0, 1, p - 1) "<DIR>" tok
        $0 = substr(rest, n)
    }
    print out $0
}'

# Two texts agree when they differ at most in numbers, by a relative 1e-13:
# the two C runtimes' sin and cos may differ in the last bit of a double.
same_text() {  # same_text FILE1 FILE2
    awk 'NR == FNR { a[FNR] = $0; na = FNR; next }
         function num(s) { return s ~ /^[-+]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][-+]?[0-9]+)?$/ }
         {
             nb = FNR
             if ($0 == a[FNR]) next
             n1 = split(a[FNR], x, /[ \t]+/); n2 = split($0, y, /[ \t]+/)
             if (n1 != n2) exit 1
             for (i = 1; i <= n1; ++i) {
                 if (x[i] == y[i]) continue
                 if (!num(x[i]) || !num(y[i])) exit 1
                 d = x[i] - y[i]; if (d < 0) d = -d
                 m = x[i] < 0 ? -x[i] : x[i]; if (m < 1) m = 1
                 if (d > 1e-13 * m) exit 1
             }
         }
         END { if (na != nb) exit 1 }' "$1" "$2"
}

side_by_side() {  # side_by_side INPUT ANSWERS
    local input=$1 answers=$2 name
    cases=$((cases + 1))
    local base=$CROSS/$cases
    mkdir -p "$base/linux" "$base/windows"
    cp "$input" "$base/linux/"
    cp "$input" "$base/windows/"
    local rl=0 rw=0
    (cd "$base/linux" && printf '%b' "$answers" | "$LINUX_EXE" >../linux.out 2>&1) || rl=$?
    (cd "$base/windows" && printf '%b' "$answers" | wine "$ORVALT_EXE" >../windows.out 2>&1) || rw=$?
    local bad=()
    [ "$rl" = "$rw" ] || bad+=("exit status $rl on Linux, $rw on Windows")
    to_linux_form "$base/linux" 0 <"$base/linux.out" >"$base/linux.txt"
    to_linux_form "$base/windows" 1 <"$base/windows.out" >"$base/windows.txt"
    same_text "$base/linux.txt" "$base/windows.txt" || bad+=("transcripts differ")
    local lfiles wfiles
    lfiles=$(cd "$base/linux" && ls)
    wfiles=$(cd "$base/windows" && ls)
    [ "$lfiles" = "$wfiles" ] || bad+=("different files written: [$lfiles] [$wfiles]")
    for name in $lfiles; do
        [ -f "$base/windows/$name" ] || continue
        [ "$name" = "$(basename "$input")" ] && continue
        if [[ $name == *.write ]]; then
            cmp -s "$base/linux/$name" "$base/windows/$name" || genie_bits=$((genie_bits + 1))
            (cd "$base/linux" && "$LINUX_DUMP" "$name") >"$base/$name.linux.dump" 2>&1 || true
            (cd "$base/windows" && wine "$G2DUMP_EXE" "$name") 2>&1 | tr -d '\r' \
                >"$base/$name.windows.dump" || true
            same_text "$base/$name.linux.dump" "$base/$name.windows.dump" ||
                bad+=("g2dump of $name differs")
        else
            to_linux_form "$base/linux" 0 <"$base/linux/$name" >"$base/$name.linux"
            to_linux_form "$base/windows" 1 <"$base/windows/$name" >"$base/$name.windows"
            same_text "$base/$name.linux" "$base/$name.windows" || bad+=("$name differs")
        fi
    done
    local shown=${answers//\\n/|}
    if [ ${#bad[@]} -eq 0 ]; then
        echo "side by side $cases: $(basename "$input") [$shown] agrees"
    else
        failures=$((failures + 1))
        echo "side by side $cases: $(basename "$input") [$shown] FAILED: ${bad[*]} (see $base)"
    fi
}

sample=examples/Na_Mg_mirror.xrdml
data=tests/data/xrdml
side_by_side "$sample" '\n\n\n\n\n\n'                  # sum, per second, 2-theta, Genie
side_by_side "$sample" '\n2\n1\n2\n1\n\n'              # one scan in Q, ASCII
side_by_side "$sample" '\n0\n0\n3\n1\n\n'              # sum as counts in d-spacing
side_by_side "$sample" '\n-2\n2\n0\n1\n\n'             # gudrunX preparation
side_by_side "$sample" '\n-3\n1\n\n'                   # separate scans into one Genie file
side_by_side "$data/polefig_Ge113.xrdml" 'polefig_Ge113.xrdml\n0\n1\n2\n1\n\n'
side_by_side "$data/polefig_Ge113.xrdml" 'polefig_Ge113.xrdml\n-3\n0\n\n'
side_by_side "$data/empyrean.xrdml" 'empyrean.xrdml\n0\n1\n3\n2\n\n'
echo "windows-test: side by side took $((SECONDS - start)) s"

echo "windows-test: side by side: $((cases - failures)) of $cases agree" \
     "($genie_bits Genie files not identical to the bit)"
if [ "$suite" -ne 0 ] || [ "$failures" -ne 0 ]; then
    echo "windows-test: FAILED (suite status $suite, $failures side-by-side failures)"
    exit 1
fi
echo "windows-test: the Windows build passed"
