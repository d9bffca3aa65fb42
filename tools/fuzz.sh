#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (seconds, default 60)
# on the corpus kept in tests/fuzz/corpus (the bookmark reader starts from the browser-shaped
# files of its tests, tests/data/bookmarks, and the small hostile ones of its corpus). New inputs
# go to a scratch folder, not the repo.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bash tools/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARY_FUZZ=ON
cmake --build build-fuzz --target fuzz_query fuzz_open fuzz_bookmarks
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
for target in query open bookmarks; do
    mkdir -p "$scratch/$target"
    seeds="tests/fuzz/corpus/$target"
    [ "$target" = bookmarks ] && seeds="tests/data/bookmarks tests/fuzz/corpus/bookmarks"
    echo "== fuzz_$target for ${seconds}s"
    ./build-fuzz/tests/fuzz/fuzz_$target -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3072 \
        -print_final_stats=1 -artifact_prefix="$scratch/" "$scratch/$target" $seeds 2>&1 |
        grep -E "^(Done|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)" || true
    test "${PIPESTATUS[0]}" -eq 0
done
