#!/usr/bin/env bash
# Builds the converter and runs it on the bundled sample picture: it prints what it read and writes
# the decoded pixels to out/sample.pam.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target ferronel-convert
mkdir -p out
picture="${1:-samples/ferronel.bmp}"
build/tools/ferronel-convert/ferronel-convert --info "$picture"
build/tools/ferronel-convert/ferronel-convert "$picture" out/sample.pam
echo "Decoded pixels written to out/sample.pam"
