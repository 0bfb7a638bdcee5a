#!/usr/bin/env bash
# readme_commands.sh SOURCE_DIR BUILD_DIR SCRATCH
# Runs every command of the README's ```sh blocks (the lines that begin with
# "$ ") as a reader would after `make run`: from the project's root, here a
# scratch folder with the sample, where build/release stands for the build
# this test runs in. `make` lines are only checked to name Makefile targets.
# Fails when any command fails.
set -uo pipefail
src=$1 bin=$2 root=$3

rm -rf "$root" && mkdir -p "$root/build/release" "$root/build/scratch" || exit 1
cp -r "$src/examples" "$root/" || exit 1
for entry in "$bin"/*; do ln -s "$entry" "$root/build/release/"; done
# g2dump lives in programs/; an older tree has it in genie/.
if [ ! -e "$bin/programs/g2dump" ]; then
    rm -f "$root/build/release/programs"
    mkdir -p "$root/build/release/programs"
    ln -s "$bin/genie/g2dump" "$root/build/release/programs/g2dump"
fi

# What `make run` leaves when Return is pressed at every question.
returns=$root/returns
printf '\n%.0s' {1..40} >"$returns"
cp "$src/examples/Na_Mg_mirror.xrdml" "$root/build/scratch/"
if ! (cd "$root/build/scratch" && ../release/driver/orvalt <"$returns" >/dev/null); then
    echo "the dialogue of make run failed"
    exit 1
fi

status=0 ran=0 in_sh=0
while IFS= read -r line; do
    case $line in
    '```sh') in_sh=1 ;;
    '```'*) in_sh=0 ;;
    '$ '*)
        [ "$in_sh" = 1 ] || continue
        cmd=${line#'$ '}
        if [[ $cmd == make\ * ]]; then
            for target in ${cmd#make }; do
                grep -q "^$target:" "$src/Makefile" || { echo "FAILED: $cmd (no such target)"; status=1; }
            done
            continue
        fi
        ran=$((ran + 1))
        if ! output=$(cd "$root" && bash -c "$cmd" <"$returns" 2>&1); then
            printf 'FAILED: %s\n%s\n' "$cmd" "$output"
            status=1
        fi
        ;;
    esac
done <"$src/README.md"

# The README's Python lines, with this build's module (and the sanitizers'
# runtime first, where the build has them).
module=$(ls "$bin"/python/orvalt.*.so 2>/dev/null | head -n 1)
if [ -n "$module" ]; then
    code=$(awk '/^```python$/ { on = 1; next } /^```/ { on = 0 } on' "$src/README.md")
    ran=$((ran + 1))
    if ! output=$(cd "$root" && LD_PRELOAD=${ORVALT_PYTHON_PRELOAD:-} ASAN_OPTIONS=detect_leaks=0 \
            PYTHONPATH="$bin/python" /usr/bin/python3 -c "$code" 2>&1); then
        printf "FAILED: the README's Python lines\n%s\n" "$output"
        status=1
    fi
fi

echo "$ran commands of the README run"
[ "$ran" -gt 0 ] || status=1
exit "$status"
