#!/usr/bin/env bash
# Times the viewer offscreen on 24-megapixel pictures (6000 x 4000, BMP and Targa): the first
# painted picture from process start, and Page Down to the next picture painted. The same run times
# a minimal peer viewer on Qt's QImageReader (bench/viewer/PeerViewer.cpp) on the same files; Qt
# reads no Targa without an extra plug-in, so the peer's Targa figures may be missing.
# RUNS=n sets the runs per figure (default 5); BUILD=dir the viewer's build folder (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-5}
build=${BUILD:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --build "$build" -j2 --target ferronel >/dev/null
# shellcheck disable=SC2046
g++ -std=c++20 -O2 -fPIC bench/viewer/PeerViewer.cpp -o "$work/peer-viewer" $(pkg-config --cflags --libs Qt6Widgets)

python3 - "$work" <<'PY'
import os, struct, sys
work = sys.argv[1]
w, h = 6000, 4000
row_bytes = w * 3
base = bytes((x * 7 + (x // 3) * 13) & 255 for x in range(row_bytes + 512))
rows = [base[r:r + row_bytes] for r in range(0, 512, 2)]
def write(path, header, shift):
    with open(path, "wb") as f:
        f.write(header)
        for y in range(h):
            f.write(rows[(y + shift) % len(rows)])
os.makedirs(f"{work}/bmp"); os.makedirs(f"{work}/tga")
for i in (1, 2):
    bmp = b"BM" + struct.pack("<IHHI", 54 + row_bytes * h, 0, 0, 54)
    bmp += struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, row_bytes * h, 2835, 2835, 0, 0)
    write(f"{work}/bmp/{i}.bmp", bmp, i * 17)
    tga = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, w, h, 24, 0)
    write(f"{work}/tga/{i}.tga", tga, i * 29)
PY

# Prints the median and the range of the numbers on stdin.
summary() { sort -n | awk '{v[NR]=$1} END {if (NR) printf "median %4d ms (%d..%d, %d runs)", v[int((NR+1)/2)], v[1], v[NR], NR; else printf "no figures"}'; }

measure() { # program kind
    local out="$work/out"
    : >"$out"
    for _ in $(seq "$runs"); do
        QT_QPA_PLATFORM=offscreen FERRONEL_TIMING=pagedown timeout 60 "$1" "$work/$2/1.$2" >>"$out" 2>/dev/null || true
    done
    printf '  %-5s first frame: %s\n' "$2" "$(grep 'after process start' "$out" | awk '{print $4}' | summary)"
    printf '  %-5s Page Down:   %s\n' "$2" "$(grep 'after Page Down' "$out" | awk '{print $4}' | summary)"
}

echo "Ferronel ($build/src/qt/ferronel):"
for kind in bmp tga; do measure "$build/src/qt/ferronel" "$kind"; done
echo "Peer viewer (QImageReader):"
for kind in bmp tga; do measure "$work/peer-viewer" "$kind"; done
