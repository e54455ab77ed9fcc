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


# ---- A small vector animation: a gradient sky, a sea of curves, a sail that turns. ----

def _nbits(*values):
    return max([v.bit_length() + 1 for v in values] + [2])


def matrix(scale=None, rotate=None, tx=0, ty=0):
    b = Bits()
    if scale:
        n = _nbits(*[int(v * 65536) for v in scale])
        b.ub(1, 1); b.ub(5, n); b.sb(n, int(scale[0] * 65536)); b.sb(n, int(scale[1] * 65536))
    else:
        b.ub(1, 0)
    if rotate:
        n = _nbits(*[int(v * 65536) for v in rotate])
        b.ub(1, 1); b.ub(5, n); b.sb(n, int(rotate[0] * 65536)); b.sb(n, int(rotate[1] * 65536))
    else:
        b.ub(1, 0)
    n = _nbits(tx, ty)
    b.ub(5, n); b.sb(n, tx); b.sb(n, ty)
    return b.bytes()


class Shape:
    """Shape records for DefineShape3 with one fill style and one line style."""

    def __init__(self):
        self.b = Bits()

    def move(self, x, y, fill=1, line=0):
        n = _nbits(x, y)
        self.b.ub(1, 0)
        self.b.ub(1, 0); self.b.ub(1, 1 if line is not None else 0); self.b.ub(1, 0); self.b.ub(1, 1); self.b.ub(1, 1)
        self.b.ub(5, n); self.b.sb(n, x); self.b.sb(n, y)
        self.b.ub(1, fill)          # fill style 0, 1 bit
        if line is not None:
            self.b.ub(1, line)      # line style, 1 bit
        return self

    def line(self, dx, dy):
        n = _nbits(dx, dy)
        self.b.ub(1, 1); self.b.ub(1, 1); self.b.ub(4, n - 2); self.b.ub(1, 1)
        self.b.sb(n, dx); self.b.sb(n, dy)
        return self

    def curve(self, cx, cy, ax, ay):
        n = _nbits(cx, cy, ax, ay)
        self.b.ub(1, 1); self.b.ub(1, 0); self.b.ub(4, n - 2)
        self.b.sb(n, cx); self.b.sb(n, cy); self.b.sb(n, ax); self.b.sb(n, ay)
        return self

    def end(self):
        self.b.ub(6, 0)
        return self.b.bytes()


def define_shape3(cid, bounds, fill, records, line=None):
    body = struct.pack("<H", cid) + rect(*bounds) + bytes([1]) + fill
    body += bytes([1]) + struct.pack("<H", line[0]) + bytes(line[1]) if line else bytes([0])
    body += bytes([0x11]) + records  # one bit each for fill and line indices
    return tag(32, body)


def solid(rgba):
    return bytes([0x00]) + bytes(rgba)


def linear(mat, stops):
    return bytes([0x10]) + mat + bytes([len(stops)]) + b"".join(bytes([r]) + bytes(c) for r, c in stops)


def place(depth, cid=None, mat=None, move=False):
    flags = (0x01 if move else 0) | (0x02 if cid is not None else 0) | (0x04 if mat is not None else 0)
    body = bytes([flags]) + struct.pack("<H", depth)
    if cid is not None:
        body += struct.pack("<H", cid)
    if mat is not None:
        body += mat
    return tag(26, body)


def demo_movie(frames=120, rate=60):
    import math
    w, h = 550 * 20, 400 * 20
    body = rect(0, w, 0, h) + struct.pack("<HH", rate << 8, frames)
    body += tag(9, bytes([0x10, 0x30, 0x60]))
    sky = Shape().move(0, 0).line(w, 0).line(0, h).line(-w, 0).line(0, -h).end()
    # The gradient square's x axis runs down the stage: b = h / 32768, c = -w / 32768.
    sky_fill = linear(matrix(scale=(0.0, 0.0), rotate=(h / 32768, -w / 32768), tx=w // 2, ty=h // 2),
                      [(0, (0x1e, 0x6f, 0xd9, 255)), (160, (0x8f, 0xc8, 0xff, 255)), (255, (0xff, 0xe0, 0xb0, 255))])
    body += define_shape3(1, (0, w, 0, h), sky_fill, sky)
    sea = Shape().move(0, 5600)
    step = w // 8
    for i in range(8):
        sea.curve(step // 2, -500 if i % 2 else 500, step - step // 2, 0)
    sea.line(0, h - 5600).line(-w, 0).line(0, -(h - 5600))
    body += define_shape3(2, (0, w, 5000, h), solid((0x0b, 0x3d, 0x91, 255)), sea.end(),
                          line=(40, (0xff, 0xff, 0xff, 200)))
    sail = Shape().move(0, -2400).line(0, 2600).line(-1800, 0).line(1800, -2600).end()
    body += define_shape3(3, (-1800, 0, -2400, 200), solid((0xff, 0xff, 0xff, 255)), sail,
                          line=(30, (0x30, 0x30, 0x30, 255)))
    sun = Shape().move(600, 0)
    for k in range(8):
        a0, a1 = k * math.pi / 4, (k + 1) * math.pi / 4
        am = (a0 + a1) / 2
        r = 600 / math.cos(math.pi / 8)
        cx, cy = r * math.cos(am), r * math.sin(am)
        ex, ey = 600 * math.cos(a1), 600 * math.sin(a1)
        sx, sy = 600 * math.cos(a0), 600 * math.sin(a0)
        sun.curve(round(cx - sx), round(cy - sy), round(ex - cx), round(ey - cy))
    body += define_shape3(4, (-600, 600, -600, 600), solid((0xff, 0xd0, 0x40, 255)), sun.end())
    body += place(1, 1) + place(2, 4, matrix(tx=8800, ty=1800)) + place(3, 2)
    for f in range(frames):
        t = f / frames
        angle = math.sin(t * 2 * math.pi) * 0.25
        c, s = math.cos(angle), math.sin(angle)
        x = int(2000 + t * 7000)
        body += place(4, 3 if f == 0 else None, matrix(scale=(c, c), rotate=(s, -s), tx=x, ty=5600), move=f > 0)
        body += tag(1)
    body += tag(0)
    return b"FWS" + bytes([8]) + struct.pack("<I", 8 + len(body)) + body
