#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; exits non-zero when a test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
ctest --test-dir build --output-on-failure --timeout 600 -j2
