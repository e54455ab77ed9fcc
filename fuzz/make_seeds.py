#!/usr/bin/env python3
"""Builds the seed corpora of the fuzz harnesses from the conformance movies.

fuzz_container and fuzz_player start from the movie files themselves, fuzz_tags from
their uncompressed tag streams, fuzz_shape from every shape and morph shape tag body
(after the character id), prefixed with the byte that selects its tag kind, fuzz_video
from each embedded video stream's first pictures. Further folders of .swf files add
video seeds only (real-world movies carry far more video than the corpus).
Usage: make_seeds.py CORPUS_DIR OUT_DIR [MOVIE_DIR...]
"""
import hashlib
import lzma
import os
import sys
import zlib

SHAPE_SELECTOR = {2: 0, 22: 1, 32: 2, 83: 3, 46: 4, 84: 5}
MAX_SEED = 64 * 1024


def body_of(data):
    """The bytes after the 8-byte prefix, uncompressed, or None."""
    if len(data) < 8 or data[1:3] != b"WS":
        return None
    try:
        if data[0:1] == b"F":
            return data[8:]
        if data[0:1] == b"C":
            return zlib.decompressobj().decompress(data[8:], 64 << 20)
        if data[0:1] == b"Z" and len(data) >= 17:
            props = data[12:17]
            dict_size = int.from_bytes(props[1:5], "little")
            lc = props[0] % 9
            lp = (props[0] // 9) % 5
            pb = props[0] // 45
            filters = [{"id": lzma.FILTER_LZMA1, "dict_size": dict_size, "lc": lc, "lp": lp, "pb": pb}]
            dec = lzma.LZMADecompressor(format=lzma.FORMAT_RAW, filters=filters)
            return dec.decompress(data[17:], 64 << 20)
    except (zlib.error, lzma.LZMAError, ValueError):
        return None
    return None


def tag_stream(body):
    """Skips the stage rectangle, frame rate and frame count."""
    if not body:
        return None
    nbits = body[0] >> 3
    rect_bytes = (5 + 4 * nbits + 7) // 8
    return body[rect_bytes + 4:]


def tags(stream):
    pos = 0
    while pos + 2 <= len(stream):
        code_len = int.from_bytes(stream[pos:pos + 2], "little")
        pos += 2
        code, length = code_len >> 6, code_len & 0x3F
        if length == 0x3F:
            if pos + 4 > len(stream):
                return
            length = int.from_bytes(stream[pos:pos + 4], "little")
            pos += 4
        yield code, stream[pos:pos + length]
        pos += length
        if code == 0:
            return


def video_seeds(stream, pictures=8):
    """fuzz_video inputs: codec selector, flags, width and height less one (a byte
    each), then the stream's first pictures, each after a 16-bit length."""
    streams = {}
    for code, body in tags(stream):
        if code == 60 and len(body) >= 10:
            sid = int.from_bytes(body[0:2], "little")
            width = min(int.from_bytes(body[4:6], "little"), 256)
            height = min(int.from_bytes(body[6:8], "little"), 256)
            head = bytes([(body[9] - 2) % 256, body[8], max(width - 1, 0), max(height - 1, 0)])
            streams.setdefault(sid, [head])
        elif code == 61 and len(body) >= 4:
            sid = int.from_bytes(body[0:2], "little")
            frames = streams.get(sid)
            if frames is not None and len(frames) <= pictures and len(body) - 4 < 0x10000:
                frames.append(len(body[4:]).to_bytes(2, "little") + body[4:])
    for frames in streams.values():
        seed = b"".join(frames)
        while len(frames) > 2 and len(seed) > MAX_SEED:
            frames.pop()
            seed = b"".join(frames)
        yield seed


def write(folder, data):
    if not data or len(data) > MAX_SEED:
        return
    name = hashlib.sha1(data).hexdigest()
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def main():
    corpus, out = sys.argv[1], sys.argv[2]
    folders = {}
    for harness in ("fuzz_container", "fuzz_player", "fuzz_tags", "fuzz_shape", "fuzz_video", "fuzz_sound"):
        folders[harness] = os.path.join(out, harness)
        os.makedirs(folders[harness], exist_ok=True)
    for root, _, files in os.walk(corpus):
        if "test.swf" not in files:
            continue
        with open(os.path.join(root, "test.swf"), "rb") as f:
            data = f.read()
        write(folders["fuzz_container"], data)
        write(folders["fuzz_player"], data)
        stream = tag_stream(body_of(data))
        if stream is None:
            continue
        write(folders["fuzz_tags"], stream)
        stream_head = None
        blocks = b""
        for code, tag_body in tags(stream):
            if code in SHAPE_SELECTOR and len(tag_body) > 2:
                write(folders["fuzz_shape"], bytes([SHAPE_SELECTOR[code]]) + tag_body[2:])
            # Sound harness: selector 0 DefineSound, 1 stream head and blocks,
            # 2 StartSound, 3 DefineButtonSound (see fuzz/SoundInput.h).
            if code == 14 and len(tag_body) < 65536:
                write(folders["fuzz_sound"], b"\x00" + tag_body)
            elif code in (18, 45) and stream_head is None:
                stream_head = tag_body[:4]
            elif code == 19 and stream_head is not None and len(blocks) < 65536:
                blocks += len(tag_body).to_bytes(2, "little") + tag_body
            elif code == 15:
                write(folders["fuzz_sound"], b"\x02" + tag_body)
            elif code == 17:
                write(folders["fuzz_sound"], b"\x03" + tag_body)
        if stream_head is not None and blocks:
            write(folders["fuzz_sound"], b"\x01" + stream_head.ljust(4, b"\x00") + blocks)
        for seed in video_seeds(stream):
            write(folders["fuzz_video"], seed)
    # Sound files scripts load, behind the loaded-file selector of fuzz_sound.cpp.
    audio_data = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "engine", "audio", "data")
    if os.path.isdir(audio_data):
        for name in sorted(os.listdir(audio_data)):
            if name.endswith(".mp3"):
                with open(os.path.join(audio_data, name), "rb") as f:
                    write(folders["fuzz_sound"], b"\xf7" + f.read())
    for movies in sys.argv[3:]:
        for name in sorted(os.listdir(movies)):
            if name.endswith(".swf"):
                with open(os.path.join(movies, name), "rb") as f:
                    stream = tag_stream(body_of(f.read()))
                for seed in video_seeds(stream or b""):
                    write(folders["fuzz_video"], seed)


if __name__ == "__main__":
    main()
