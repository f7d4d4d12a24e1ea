#!/usr/bin/python3
"""The peers' own plumbing: the WAV reader and resampler in front of Basic Pitch, against sine
waves sox writes in several formats, and the reading of aubionotes' rows."""

import importlib.util
import json
import math
import subprocess
import tempfile
import unittest
from pathlib import Path

PEERS = Path(__file__).resolve().parent.parent / "peers"

loader = importlib.util.spec_from_file_location("aubio_notes", PEERS / "aubio-notes.py")
aubio_notes = importlib.util.module_from_spec(loader)
loader.loader.exec_module(aubio_notes)

# Reads a WAV as basic-pitch-notes.mjs does and prints the rate, the length at 22050 Hz, the RMS
# and the frequency counted by upward zero crossings.
PROBE = """
import { readFileSync } from 'node:fs';
import { readWav, resample } from '%s';
const wav = readWav(readFileSync(process.argv[2]));
const x = resample(wav.samples, wav.rate, 22050);
let sum = 0, ups = 0;
const body = x.subarray(2205, x.length - 2205);  // the filter's ends left out
for (let i = 0; i < body.length; ++i) {
    sum += body[i] * body[i];
    if (i && body[i - 1] < 0 && body[i] >= 0) ++ups;
}
console.log(JSON.stringify({ rate: wav.rate, length: x.length, rms: Math.sqrt(sum / body.length),
                             hz: ups / (body.length / 22050) }));
"""


class WavForBasicPitch(unittest.TestCase):
    def test_formats_and_rates(self):
        # rate, sox format options, channels, frequency
        rows = [(44100, ["-b", "16"], 1, 110.0), (44100, ["-b", "24"], 2, 55.0), (48000, ["-b", "16"], 1, 82.41),
                (22050, ["-b", "16"], 1, 196.0), (44100, ["-e", "floating-point", "-b", "32"], 1, 41.2),
                (16000, ["-b", "32"], 1, 110.0)]
        with tempfile.TemporaryDirectory() as work:
            probe = Path(work) / "probe.mjs"
            probe.write_text(PROBE % (PEERS / "basic-pitch-notes.mjs"))
            for rate, options, channels, hz in rows:
                with self.subTest(rate=rate, options=options, channels=channels):
                    wav = Path(work) / "sine.wav"
                    subprocess.run(["sox", "-R", "-D", "-n", "-r", str(rate), *options, "-c", str(channels), str(wav),
                                    "synth", "2", "sine", str(hz), "vol", "0.5"], check=True)
                    out = json.loads(subprocess.run(["node", str(probe), str(wav)], check=True,
                                                    capture_output=True, text=True).stdout)
                    self.assertEqual(out["rate"], rate)
                    self.assertEqual(out["length"], 2 * 22050)
                    self.assertAlmostEqual(out["rms"], 0.5 / math.sqrt(2), delta=0.01)
                    self.assertAlmostEqual(out["hz"], hz, delta=1.0)


class AubioRows(unittest.TestCase):
    def test_rows(self):
        rows = [("45.000000\t1.044898\t1.956281\n", [(45, 1.0449, 1.9563)]),
                ("0.029025\n0.922993\n", []),
                ("47.6\t0.5\t0.75\n0.9\n39.4\t1.0\t1.2\n", [(48, 0.5, 0.75), (39, 1.0, 1.2)]),
                ("", [])]
        for text, notes in rows:
            with self.subTest(text=text):
                found = aubio_notes.notes_of(text)
                self.assertEqual([(n["pitch"], n["onset"], n["offset"]) for n in found], notes)


if __name__ == "__main__":
    unittest.main()
