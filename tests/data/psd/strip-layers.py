# Copies a Photoshop document with its layer and mask section emptied (length 0), so that the merged
# image follows the image resources directly.
import struct
import sys

data = open(sys.argv[1], "rb").read()
at = 26
for section in range(2):
    (length,) = struct.unpack(">I", data[at : at + 4])
    at += 4 + length
(length,) = struct.unpack(">I", data[at : at + 4])
open(sys.argv[2], "wb").write(data[:at] + struct.pack(">I", 0) + data[at + 4 + length :])
