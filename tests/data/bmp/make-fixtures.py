"""Makes the BMP variants ImageMagick does not write: a run-length 4-bit file (built code by code,
with every kind of code: runs, absolute runs, end of line, delta and end of bitmap) and a top-down
copy of rgb24.bmp."""
import struct

# --- rle4.bmp: 13 x 6, 16 colours
w, h = 13, 6
palette = [(i * 17, 255 - i * 17, (i * 50) % 256) for i in range(16)]
codes = bytearray()
# row 0 (bottom): run of 13 pixels alternating 1 and 2, end of line
codes += bytes([13, 0x12, 0, 0])
# row 1: absolute run of 5 pixels (3,4,5,6,7), run of 8 of colour 9, end of line
codes += bytes([0, 5, 0x34, 0x56, 0x70, 0x00]) + bytes([8, 0x99, 0, 0])
# row 2: run of 4 of colour 10, delta 3 right 1 up (row 3, x 7), run of 6 of colour 11/12
codes += bytes([4, 0xAA, 0, 2, 3, 1, 6, 0xBC, 0, 0])
# row 4: absolute run of 13 pixels, end of line
codes += bytes([0, 13, 0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x30, 0x00]) + bytes([0, 0])
# row 5: run of 3 of colour 15, end of line, end of bitmap
codes += bytes([3, 0xFF, 0, 0, 0, 1])
header = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 4, 2, len(codes), 2835, 2835, 16, 0)
table = b''.join(bytes([b, g, r, 0]) for r, g, b in palette)
off = 14 + len(header) + len(table)
with open('rle4.bmp', 'wb') as f:
    f.write(b'BM' + struct.pack('<IHHI', off + len(codes), 0, 0, off) + header + table + codes)

# --- topdown.bmp: rgb24.bmp with its rows stored top first and a negative height
data = open('rgb24.bmp', 'rb').read()
off = struct.unpack_from('<I', data, 10)[0]
w, h = struct.unpack_from('<ii', data, 18)
stride = (w * 3 + 3) // 4 * 4
rows = [data[off + i * stride: off + (i + 1) * stride] for i in range(h)]
out = bytearray(data[:off])
struct.pack_into('<i', out, 22, -h)
out += b''.join(reversed(rows))
open('topdown.bmp', 'wb').write(bytes(out))
