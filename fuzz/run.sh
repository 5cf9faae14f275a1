#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ (or
# $TARVIX_FUZZ_BUILD_DIR) and runs each for SECONDS (default 60), one after
# the other, from the seeds in fuzz/seeds/<target>/ and the corpus each run
# left in the build directory:
#
#   fuzz/run.sh [SECONDS] [TARGET...]     TARGET: raw_read icmp_error helper_request saved_state text_to_int
#
# A crash, a sanitizer report or a failed check of a target's own is kept as
# an input to reproduce with; the script names it and exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 [SECONDS] [TARGET...]" >&2; exit 2; }
shift $(($# > 0 ? 1 : 0))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(raw_read icmp_error helper_request saved_state text_to_int)

dir=${TARVIX_FUZZ_BUILD_DIR:-build-fuzz}
cmake -S . -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
    -DTARVIX_BUILD_TESTS=OFF -DTARVIX_BUILD_FUZZERS=ON >/dev/null
cmake --build "$dir" --target "${targets[@]/#/fuzz_}" fuzz_seed_writer

# The seeds are the writer's output: a change of a wire format or of the
# helper's protocol that leaves them behind fails here, not silently as seeds
# that no longer reach the code.
written=$(mktemp -d)
trap 'rm -rf "$written"' EXIT
"$dir/fuzz/fuzz_seed_writer" "$written"
stale=$(cd "$written" && find . -type f | while read -r seed; do
    cmp -s "$seed" "$OLDPWD/fuzz/seeds/$seed" || echo "${seed#./}"
done)
if [ -n "$stale" ]; then
    echo "fuzz seeds differ from what $dir/fuzz/fuzz_seed_writer writes (run it with fuzz/seeds):" >&2
    echo "$stale" >&2
    exit 1
fi

# Symbolized stacks in the reports.
symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
[ -x "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH=$symbolizer

failed=()
summary=()
for target in "${targets[@]}"; do
    corpus="$dir/fuzz/corpus/$target"
    crashes="$dir/fuzz/crashes/$target"
    log="$dir/fuzz/$target.log"
    mkdir -p "$corpus" "$crashes"
    echo "== fuzz_$target: ${seconds} s"
    # New inputs go to the first directory, never to the seeds.
    status=0
    "$dir/fuzz/fuzz_$target" "$corpus" "fuzz/seeds/$target" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$crashes/" >"$log" 2>&1 || status=$?
    grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)' "$log" || true
    runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 runs in \2 s/p' "$log")
    coverage=$(sed -n 's/^#[0-9]*[[:space:]]*DONE[[:space:]]*cov: \([0-9]*\) ft: \([0-9]*\) corp: \([0-9]*\).*/cov \1, ft \2, corpus \3/p' "$log")
    if [ "$status" -ne 0 ]; then
        artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
        echo "!! fuzz_$target FOUND A CRASH (exit $status). The report:" >&2
        grep -v -E '^#[0-9]+[[:space:]]' "$log" | tail -n 60 >&2
        echo "!! input: ${artifact:-none written}; reproduce with: $dir/fuzz/fuzz_$target ${artifact:-INPUT}" >&2
        failed+=("$target")
        summary+=("fuzz_$target: CRASH after ${runs:-?}")
    else
        summary+=("fuzz_$target: ${runs:-?}, ${coverage:-no coverage reported}")
    fi
done

echo "== fuzzing summary"
printf '   %s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing failed: ${failed[*]}" >&2
    exit 1
fi
