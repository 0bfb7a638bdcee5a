#!/bin/sh
# Builds the libFuzzer targets with clang++ in build/fuzz and runs them side
# by side (all at once, to save time), each for FUZZ_SECONDS (default 600) seconds.
#
#   FUZZ_SECONDS=60 tests/fuzz/run_fuzzers.sh [target...]
#
# Each target reads its kept corpus tests/fuzz/corpus/<target>/ and writes the
# inputs it finds to build/fuzz/corpus/<target>/, so the kept corpus only
# changes by hand (see tests/fuzz/README.md). Crashes, leaks and timeouts go to
# build/fuzz/findings/<target>/; the script fails if any target found one.
set -eu

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
OUT="$ROOT/build/fuzz"
FUZZ_SECONDS=${FUZZ_SECONDS:-600}
CXX=${FUZZ_CXX:-clang++}
TARGETS=${*:-"fuzz_reader fuzz_dialogue fuzz_numbers"}

# libFuzzer and the sanitizer runtimes come with the clang runtime package.
install() {
  echo "run_fuzzers: installing $*" >&2
  apt-get install -y "$@" >/dev/null 2>&1 ||
    { apt-get update >/dev/null && apt-get install -y "$@" >/dev/null; }
}
if ! command -v "$CXX" >/dev/null 2>&1; then
  install clang-14 libclang-rt-14-dev
  CXX=clang++-14
fi
if ! ls "$("$CXX" -print-resource-dir)"/lib/linux/libclang_rt.fuzzer-*.a >/dev/null 2>&1; then
  install libclang-rt-14-dev
fi

FLAGS="-std=c++20 -g -O1 -fno-omit-frame-pointer -I$ROOT -fsanitize=address,undefined -fno-sanitize-recover=undefined"

# The libraries once (with the tests' support), as objects instrumented for coverage.
mkdir -p "$OUT/obj"
for src in "$ROOT"/g_f/*.cpp "$ROOT"/genie/*.cpp "$ROOT"/xrdml/*.cpp "$ROOT"/tests/support/*.cpp; do
  obj="$OUT/obj/$(basename "$(dirname "$src")")_$(basename "$src" .cpp).o"
  if [ ! -f "$obj" ] || [ "$src" -nt "$obj" ] || [ -n "$(find "$ROOT/g_f" "$ROOT/genie" "$ROOT/xrdml" "$ROOT/tests/support" -name '*.h' -newer "$obj")" ]; then
    echo "run_fuzzers: compiling $(basename "$src")"
    $CXX $FLAGS -fsanitize=fuzzer-no-link -c "$src" -o "$obj"
  fi
done
for t in $TARGETS; do
  echo "run_fuzzers: linking $t"
  $CXX $FLAGS -fsanitize=fuzzer "$ROOT/tests/fuzz/$t.cpp" "$OUT"/obj/*.o -o "$OUT/$t"
done

max_len() {
  case "$1" in
    fuzz_reader) echo 80000 ;;
    fuzz_dialogue) echo 4096 ;;
    *) echo 64 ;;
  esac
}

pids=""
for t in $TARGETS; do
  mkdir -p "$OUT/corpus/$t" "$OUT/findings/$t" "$ROOT/tests/fuzz/corpus/$t"
  echo "run_fuzzers: running $t for $FUZZ_SECONDS s (log in build/fuzz/$t.log)"
  (cd "$OUT/findings/$t" &&
   "$OUT/$t" -max_total_time="$FUZZ_SECONDS" -timeout=20 -rss_limit_mb=2048 \
     -max_len="$(max_len "$t")" -print_final_stats=1 \
     -artifact_prefix="$OUT/findings/$t/" \
     "$OUT/corpus/$t" "$ROOT/tests/fuzz/corpus/$t" >"$OUT/$t.log" 2>&1) &
  pids="$pids $!"
done
for p in $pids; do wait "$p" || true; done

status=0
for t in $TARGETS; do
  grep -h "stat::number_of_executed_units\|Done [0-9]* runs" "$OUT/$t.log" | sed "s/^/run_fuzzers: $t: /" || true
  found=$(find "$OUT/findings/$t" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
  if [ "$found" -ne 0 ]; then
    echo "run_fuzzers: $t: $found finding(s) in build/fuzz/findings/$t" >&2
    status=1
  fi
done
exit $status
