#!/usr/bin/env bash
# Builds Quorvane and starts it on the bundled sample database.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_TESTS=OFF >/dev/null
cmake --build build --target quorvane-sample
exec ./build/sample/quorvane-sample
