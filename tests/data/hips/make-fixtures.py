"""Builds HIPS files from the header layout, line by line, and their reference pixels (NAME.pam).

Old-style files (bytes only) are read back by netpbm's hipstopgm, whose first frame is the
reference. hipstopgm does not read new-style headers ("HIPS" magic, region lines, colour planes,
history and description byte counts, parameters) nor floats and colour formats: those references
are worked out here from the samples written (floats rounded half to even and clamped to 0..255,
NaN as 0)."""
import math
import os
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
os.chdir(os.path.dirname(os.path.abspath(__file__)))
from pamfile import pam  # noqa: E402


def lines(*items):
    return b"".join(str(i).encode() + b"\n" for i in items)


def old_header(frames, rows, cols, orig="orig", seq="sequence"):
    # name, sequence, frames, date, rows, columns, bits per pixel, bit packing, pixel format,
    # history, description (ended by a line holding a dot)
    return lines(orig, seq, frames, "Tue Dec 8 2026", rows, cols, 8, 0, 0, "made by hand", ".")


def new_header(fmt, rows, cols, planes=1, roi=None, history=b"", desc=b"", params=()):
    roi_rows, roi_cols = roi or (rows, cols)
    head = lines("HIPS", "orig", "sequence", planes, "Tue Dec 8 2026", rows, cols, roi_rows, roi_cols, 0, 0, fmt)
    head += lines(planes, len(history)) + history + lines(len(desc)) + desc
    head += lines(len(params)) + b"".join(lines(p) for p in params) + lines(0)
    return head


def grey_pam(name, w, h, values):
    pam(name, w, h, [c for v in values for c in (v, v, v, 255)])


def rgb_pam(name, w, h, triplets):
    pam(name, w, h, [c for t in triplets for c in (*t, 255)])


def byte_of(f):
    if math.isnan(f) or f <= 0:
        return 0
    if f >= 255:
        return 255
    return int(round(f))  # Python rounds half to even


def pattern(w, h, seed):
    return [(x * 19 + y * 7 + seed * 31) % 256 for y in range(h) for x in range(w)]


# --- old style, read back by hipstopgm
W, H = 13, 7
old = {
    "old-bytes": (old_header(1, H, W), W, H, 1),
    "old-frames": (old_header(3, H, W), W, H, 3),  # three frames: the first loads
    "old-8rows": (old_header(1, 8, W), W, 8, 1),   # rows "8" like the bits line
}
for name, (head, w, h, frames) in old.items():
    data = b"".join(bytes(pattern(w, h, f)) for f in range(frames))
    with open(name + ".hips", "wb") as f:
        f.write(head + data)
    pgm = subprocess.run(["hipstopgm", name + ".hips"], check=True, capture_output=True).stdout
    magic, size, maxval, rest = pgm.split(b"\n", 3)
    assert magic == b"P5" and maxval == b"255", name
    pw, ph = map(int, size.split())
    assert (pw, ph) == (w, h * frames), name  # frames come stacked; the first is the reference
    grey_pam(name + ".pam", pw, h, rest[: pw * h])

# --- new style, references worked out here
W, H = 11, 6
values = pattern(W, H, 0)
with open("new-planes.hips", "wb") as f:  # three planes of bytes: plane 1 loads
    f.write(new_header(0, H, W, planes=3, history=b"step one\nstep two\n", desc=b"a test\n",
                       params=("first b 1 7", "second b 1 9"))
            + b"".join(bytes(pattern(W, H, p)) for p in range(3)))
grey_pam("new-planes.pam", W, H, values)

with open("new-roi.hips", "wb") as f:  # a region smaller than the picture
    f.write(new_header(0, H, W, roi=(3, 4)) + bytes(values))
grey_pam("new-roi.pam", W, H, values)

rgb = [((x * 23) % 256, (y * 41) % 256, (x * y * 5) % 256) for y in range(H) for x in range(W)]
with open("new-rgb.hips", "wb") as f:
    f.write(new_header(35, H, W) + b"".join(bytes(t) for t in rgb))
rgb_pam("new-rgb.pam", W, H, rgb)

special = [float("nan"), float("inf"), float("-inf"), 0.5, 1.5, 2.5, 254.5, 255.4, 300.0, -4.0, 127.49]
floats = [special[i] if i < len(special) else (i * 3.7) % 260 for i in range(W * H)]
with open("new-float.hips", "wb") as f:  # one plane of big-endian floats
    f.write(new_header(3, H, W) + b"".join(struct.pack(">f", v) for v in floats))
grey_pam("new-float.pam", W, H, [byte_of(struct.unpack(">f", struct.pack(">f", v))[0]) for v in floats])

for planes in (2, 3):  # little-endian float planes: red, green and (with three) blue
    planes_f = [[(i * (p + 2) * 1.3) % 256 for i in range(W * H)] for p in range(planes)]
    with open("new-float%dplanes.hips" % planes, "wb") as f:
        f.write(new_header(3, H, W, planes=planes)
                + b"".join(struct.pack("<f", v) for plane in planes_f for v in plane))
    r32 = [[struct.unpack("<f", struct.pack("<f", v))[0] for v in plane] for plane in planes_f]
    rgb_pam("new-float%dplanes.pam" % planes, W, H,
            [(byte_of(r32[0][i]), byte_of(r32[1][i]), byte_of(r32[2][i]) if planes > 2 else 0)
             for i in range(W * H)])

# float triplets go, in stored order, to blue, green and red
trip = [((i * 2.2) % 256, (i * 5.5) % 256, 255.0 - (i % 256)) for i in range(W * H)]
with open("new-floatrgb.hips", "wb") as f:
    f.write(new_header(37, H, W) + b"".join(struct.pack("<3f", *t) for t in trip))
t32 = [struct.unpack("<3f", struct.pack("<3f", *t)) for t in trip]
rgb_pam("new-floatrgb.pam", W, H, [(byte_of(t[2]), byte_of(t[1]), byte_of(t[0])) for t in t32])
