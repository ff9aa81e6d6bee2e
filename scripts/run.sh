#!/usr/bin/env bash
# Builds the viewer and opens it on a picture (the bundled sample unless one is named). Without a
# display it runs offscreen and saves a screenshot of its window to ferronel-screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target ferronel
exec build/src/qt/ferronel "${1:-samples/ferronel.bmp}"
