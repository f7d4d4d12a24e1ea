#!/usr/bin/env python3
"""Writes a small sound font for the tests: one sine instrument under the three bass presets
(bank 0, programs 33, 36 and 37) and the drum kit (bank 128).

usage: make_font.py OUT [--sf3] [--flip] [--finger-only]
  --sf3   the sample is Ogg Vorbis (made by sox), as in a .sf3 font
  --finger-only  the finger bass (0:33) is the only preset
  --flip  the sample data's bytes after the first 64 are inverted, as a damaged download or
          a crafted file would have them
"""

import struct
import subprocess
import sys
import tempfile
import math

RATE = 44100


def chunk(name, data):
    pad = b"\0" if len(data) % 2 else b""
    return name + struct.pack("<I", len(data)) + data + pad


def listed(kind, chunks):
    return chunk(b"LIST", kind + b"".join(chunks))


def name20(text):
    return text.encode("ascii")[:19].ljust(20, b"\0")


def sine(seconds):
    count = int(RATE * seconds)
    return b"".join(struct.pack("<h", int(12000 * math.sin(2 * math.pi * 110 * i / RATE)))
                    for i in range(count))


def vorbis(seconds):
    with tempfile.NamedTemporaryFile(suffix=".ogg") as out:
        subprocess.run(["sox", "-n", "-r", str(RATE), "-c", "1", out.name, "synth", str(seconds),
                        "sine", "110"], check=True)
        return open(out.name, "rb").read()


def font(sf3, flip, finger_only):
    seconds = 0.5
    frames = int(RATE * seconds)
    if sf3:
        data = vorbis(seconds)
        start, end, kind = 0, len(data), 1 | 0x10
        loop_start, loop_end = 8, frames - 8
    else:
        # 46 silent frames after a sample, as the format asks.
        data = sine(seconds) + b"\0" * 92
        start, end, kind = 0, frames, 1
        loop_start, loop_end = 8, frames - 8
    if flip:
        data = data[:64] + bytes(b ^ 0xFF for b in data[64:])

    presets = [(33, 0, "Fingered Bass"), (36, 0, "Slap Bass"), (37, 0, "Pop Bass"),
               (0, 128, "Standard")]
    if finger_only:
        presets = presets[:1]
    phdr = b"".join(name20(n) + struct.pack("<HHHIII", p, b, i, 0, 0, 0)
                    for i, (p, b, n) in enumerate(presets))
    phdr += name20("EOP") + struct.pack("<HHHIII", 0, 0, len(presets), 0, 0, 0)
    pbag = b"".join(struct.pack("<HH", i, 0) for i in range(len(presets) + 1))
    pmod = b"\0" * 10
    pgen = b"".join(struct.pack("<HH", 41, 0) for _ in presets) + struct.pack("<HH", 0, 0)
    inst = name20("Sine") + struct.pack("<H", 0) + name20("EOI") + struct.pack("<H", 1)
    ibag = struct.pack("<HH", 0, 0) + struct.pack("<HH", 2, 0)
    imod = b"\0" * 10
    # Looped, so that a held note sounds, then the sample.
    igen = struct.pack("<HH", 54, 1) + struct.pack("<HH", 53, 0) + struct.pack("<HH", 0, 0)
    shdr = name20("sine") + struct.pack("<IIIIIBbHH", start, end, loop_start, loop_end, RATE, 45,
                                        0, 0, kind)
    shdr += name20("EOS") + struct.pack("<IIIIIBbHH", 0, 0, 0, 0, 0, 0, 0, 0, 0)

    info = listed(b"INFO", [chunk(b"ifil", struct.pack("<HH", 3 if sf3 else 2, 1)),
                            chunk(b"isng", b"EMU8000\0"), chunk(b"INAM", b"Test font\0")])
    sdta = listed(b"sdta", [chunk(b"smpl", data)])
    pdta = listed(b"pdta", [chunk(b"phdr", phdr), chunk(b"pbag", pbag), chunk(b"pmod", pmod),
                            chunk(b"pgen", pgen), chunk(b"inst", inst), chunk(b"ibag", ibag),
                            chunk(b"imod", imod), chunk(b"igen", igen), chunk(b"shdr", shdr)])
    return chunk(b"RIFF", b"sfbk" + info + sdta + pdta)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(font("--sf3" in sys.argv, "--flip" in sys.argv, "--finger-only" in sys.argv))
