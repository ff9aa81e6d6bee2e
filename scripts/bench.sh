#!/usr/bin/env bash
# Builds the benchmarks (with their reference libraries) and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh libstb-dev libmagickcore-dev libgif-dev libpng-dev libtiff-dev libdeflate-dev
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DFERRONEL_BENCH=ON >/dev/null
cmake --build build-bench -j2 --target color_manager_bench targa_bench sgi_bench ppm_bench gif_bench gif_writer_bench png_bench jpeg_bench tiff_bench inflate_bench
for b in build-bench/bench/*_bench; do "$b"; done
