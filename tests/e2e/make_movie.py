"""Writes small SWF movies for the end-to-end tests (no other tools needed)."""
import struct
import sys
import zlib


class Bits:
    def __init__(self):
        self.bits = []

    def ub(self, n, v):
        self.bits += [(v >> (n - 1 - i)) & 1 for i in range(n)]

    def sb(self, n, v):
        self.ub(n, v & ((1 << n) - 1))

    def bytes(self):
        b = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, b[i:i + 8])), 2) for i in range(0, len(b), 8))


def rect(xmin, xmax, ymin, ymax):
    n = max(v.bit_length() for v in (xmin, xmax, ymin, ymax)) + 1
    b = Bits()
    b.ub(5, n)
    for v in (xmin, xmax, ymin, ymax):
        b.sb(n, v)
    return b.bytes()


def tag(code, body=b""):
    if len(body) < 0x3F:
        return struct.pack("<H", (code << 6) | len(body)) + body
    return struct.pack("<HI", (code << 6) | 0x3F, len(body)) + body


def movie(frames, rgb=(0x33, 0x66, 0x99), width=550, height=400, rate=12, compress=False):
    body = rect(0, width * 20, 0, height * 20) + struct.pack("<HH", rate << 8, frames)
    body += tag(9, bytes(rgb))
    body += tag(1) * frames
    body += tag(0)
    data = body
    sig = b"FWS"
    if compress:
        sig, data = b"CWS", zlib.compress(body)
    return sig + bytes([8]) + struct.pack("<I", 8 + len(body)) + data


if __name__ == "__main__":
    out, frames = sys.argv[1], int(sys.argv[2])
    with open(out, "wb") as f:
        f.write(movie(frames))
