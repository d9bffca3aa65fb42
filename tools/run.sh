#!/usr/bin/env bash
# Installs what is missing, builds, places a fresh links.mdb beside the program when none is
# there, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
exec ./build/tessary
