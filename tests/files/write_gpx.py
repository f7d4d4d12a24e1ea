#!/usr/bin/env python3
"""Packs a score.gpif into a Guitar Pro 6 file (.gpx), written from the format's public
description: a file system of 4096-byte sectors ("BCFS"), packed by a bit-level LZ77 scheme
("BCFZ"). Independent of Quorlin's reader, so the two can be checked against alphaTab.

  write_gpx.py IN.gp OUT.gpx [--plain] [--older]
      the score of a Guitar Pro 7 file, packed (or not); --older moves each track's tuning
      and capo from its staff to the track and names its program and channel as General
      MIDI, as Guitar Pro 6 writes them
  write_gpx.py --hostile DIR             damaged and crafted containers
"""
import re
import struct
import sys
import zipfile

SECTOR = 0x1000


def entry(name, size, blocks):
    """A file entry sector: type 2, the name, the size, the data sectors' numbers."""
    sector = bytearray(SECTOR)
    struct.pack_into('<I', sector, 0, 2)
    sector[4:4 + len(name)] = name.encode('ascii')
    struct.pack_into('<I', sector, 0x8C, size)
    for i, block in enumerate(blocks):
        struct.pack_into('<I', sector, 0x94 + 4 * i, block)
    return bytes(sector)


def bcfs(files):
    """Sector 0 is left empty; each file takes an entry sector and then its data sectors."""
    sectors = [bytes(SECTOR)]
    for name, data in files:
        count = (len(data) + SECTOR - 1) // SECTOR
        first = len(sectors) + 1
        sectors.append(entry(name, len(data), range(first, first + count)))
        for i in range(count):
            sectors.append(data[i * SECTOR:(i + 1) * SECTOR].ljust(SECTOR, b'\0'))
    return b'BCFS' + b''.join(sectors)


class Bits:
    def __init__(self):
        self.bits = []

    def high(self, value, count):  # highest bit first
        self.bits += [(value >> (count - 1 - i)) & 1 for i in range(count)]

    def low(self, value, count):  # lowest bit first
        self.bits += [(value >> i) & 1 for i in range(count)]

    def bytes(self):
        padded = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int(''.join(map(str, padded[i:i + 8])), 2) for i in range(0, len(padded), 8))


def bcfz(data):
    """Greedy: the longest earlier copy found through 4-byte keys, else up to 3 plain bytes.
    A copy never reaches past its source's end, as readers copy min(offset, size) bytes."""
    out = Bits()
    seen = {}
    i = 0
    plain = bytearray()

    def flush():
        for k in range(0, len(plain), 3):
            chunk = plain[k:k + 3]
            out.high(0, 1)
            out.low(len(chunk), 2)
            for byte in chunk:
                out.high(byte, 8)
        plain.clear()

    while i < len(data):
        best = (0, 0)
        found = seen.get(data[i:i + 4], [])
        for start in found[:4] + found[-4:]:
            offset = i - start
            if offset >= 1 << 15:
                continue
            limit = min(offset, (1 << 15) - 1, len(data) - i)
            length = 0
            while length < limit and data[start + length] == data[i + length]:
                length += 1
            best = max(best, (length, offset))
        for k in range(i, i + max(best[0], 1)):
            seen.setdefault(data[k:k + 4], []).append(k)
        if best[0] >= 4:
            flush()
            length, offset = best
            width = max(length.bit_length(), offset.bit_length())
            out.high(1, 1)
            out.high(width, 4)
            out.low(offset, width)
            out.low(length, width)
            i += length
        else:
            plain.append(data[i])
            i += 1
    flush()
    return b'BCFZ' + struct.pack('<I', len(data)) + out.bytes()


def older_track(match):
    track = match.group(0)
    staff = re.search(r'<Staves><Staff>(<Properties>.*?</Properties>)</Staff></Staves>', track, re.S)
    program = re.search(r'<Program>(\d+)</Program>', track).group(1)
    channel = re.search(r'<PrimaryChannel>(\d+)</PrimaryChannel>', track).group(1)
    track = track.replace(staff.group(0), '')
    track = re.sub(r'<MidiConnection>.*?</MidiConnection>|<Sounds>.*?</Sounds>', '', track, flags=re.S)
    midi = ('<GeneralMidi table="Instrument"><Program>%s</Program><Port>0</Port>'
            '<PrimaryChannel>%s</PrimaryChannel></GeneralMidi>' % (program, channel))
    return track.replace('</Track>', staff.group(1) + midi + '</Track>')


def older(score):
    return re.sub(r'<Track id="\d+">.*?</Track>', older_track, score.decode(), flags=re.S).encode()


def bass_score(voice, beats, tie=''):
    """A score of one four-string bass, one bar of 4/4 and one voice, its note on string 1."""
    return ('<GPIF><Tracks><Track id="0"><Staves><Staff><Properties><Property name="Tuning">'
            '<Pitches>28 33 38 43</Pitches></Property></Properties></Staff></Staves></Track>'
            '</Tracks><MasterBars><MasterBar><Time>4/4</Time><Bars>0</Bars></MasterBar>'
            '</MasterBars><Bars><Bar id="0"><Voices>0 -1 -1 -1</Voices></Bar></Bars>'
            '<Voices><Voice id="0"><Beats>%s</Beats></Voice></Voices><Beats>%s</Beats>'
            '<Notes><Note id="0">%s<Properties><Property name="String"><String>0</String>'
            '</Property><Property name="Fret"><Fret>3</Fret></Property></Properties></Note></Notes>'
            '<Rhythms><Rhythm id="0"><NoteValue>Quarter</NoteValue></Rhythm></Rhythms></GPIF>'
            % (voice, beats, tie))


def hostile(folder):
    import os
    os.makedirs(folder, exist_ok=True)
    gpif = b'<GPIF><Score/></GPIF>'
    files = {
        # Claims far more than any song unpacks to.
        'huge-claim.gpx': b'BCFZ' + struct.pack('<I', 0x7FFFFFF0) + b'\xff' * 64,
        # A copy from before the first byte.
        'backwards.gpx': b'BCFZ' + struct.pack('<I', 100) + bytes([0b10011111]) + b'\xff' * 8,
        # Packed bits that end before the size they claim.
        'short.gpx': bcfz(bcfs([('score.gpif', gpif * 50)]))[:40],
        # The score's sector list names its data sector again and again.
        'loop.gpx': b'BCFS' + bytes(SECTOR) + entry('score.gpif', 3 * SECTOR, [2, 2, 2])
        + gpif.ljust(SECTOR, b'\0'),
        # A sector past the end.
        'far-sector.gpx': b'BCFS' + bytes(SECTOR) + entry('score.gpif', 10, [9999]),
        # A score larger than the file.
        'huge-score.gpx': b'BCFS' + bytes(SECTOR) + entry('score.gpif', 0x7FFFFFFF, [2])
        + gpif.ljust(SECTOR, b'\0'),
        # No score among its files.
        'no-score.gpx': bcfz(bcfs([('misc.xml', b'<x/>')])),
    }
    for name, data in files.items():
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)
    # Guitar Pro 7 files whose score asks too much of a reader.
    rest = '<Beat id="0"><Rhythm ref="0"/></Beat>'
    scores = {
        'many-tracks.gp': '<GPIF><Tracks>%s</Tracks></GPIF>'
        % ''.join('<Track id="%d"/>' % i for i in range(513)),
        'many-bars.gp': '<GPIF><MasterBars>%s</MasterBars></GPIF>' % ('<MasterBar/>' * 100001),
        # Every bar names one voice of many rests: a short file, a very long walk.
        'shared-voice.gp': '<GPIF><Tracks><Track id="0"/></Tracks><MasterBars>%s</MasterBars>'
        '<Bars><Bar id="0"><Voices>0</Voices></Bar></Bars>'
        '<Voices><Voice id="0"><Beats>%s</Beats></Voice></Voices><Beats>%s</Beats>'
        '<Rhythms><Rhythm id="0"><NoteValue>Quarter</NoteValue></Rhythm></Rhythms></GPIF>'
        % ("<MasterBar><Time>4/4</Time><Bars>0</Bars></MasterBar>" * 20000, "0 " * 200, rest),
        # One voice of a million tied beats in a bar of four quarters.
        'tied-beats.gp': bass_score('0 ' * 1000000, '<Beat id="0"><Rhythm ref="0"/><Notes>0</Notes>'
                                    '</Beat>', '<Tie origin="true" destination="true"/>'),
        # A beat of a million notes the file does not hold, named a million times.
        'missing-notes.gp': bass_score('0 ' * 1000000, '<Beat id="0"><Rhythm ref="0"/><Notes>%s'
                                       '</Notes></Beat>' % ('1 ' * 1000000)),
        # Ten thousand grace beats of a hundred thousand notes each.
        'grace-notes.gp': bass_score('0 ' * 10000 + '1', '<Beat id="0"><GraceNotes>BeforeBeat'
                                     '</GraceNotes><Rhythm ref="0"/><Notes>%s</Notes></Beat>'
                                     '<Beat id="1"><Rhythm ref="0"/><Notes>0</Notes></Beat>'
                                     % ('0 ' * 100000)),
        # 63 MB of empty elements, within the size limit.
        'markup.gp': '<GPIF>%s</GPIF>' % ('<a/>' * (63 << 18)),
        # Entities declared are never expanded.
        'entities.gp': '<?xml version="1.0"?><!DOCTYPE GPIF [<!ENTITY a "aaaaaaaaaa">'
        '<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;"><!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;">]>'
        '<GPIF><Score><Title>&c;</Title></Score><Tracks><Track id="0"/></Tracks></GPIF>',
        'not-xml.gp': '<GPIF><Score>',
        # Deflates a hundredfold past what any song unpacks to.
        'bomb.gp': None,
    }
    for name, score in scores.items():
        with zipfile.ZipFile(os.path.join(folder, name), 'w', zipfile.ZIP_DEFLATED) as gp:
            if score is None:
                with gp.open('Content/score.gpif', 'w', force_zip64=True) as member:
                    block = b'\0' * (1 << 20)
                    for _ in range(65):
                        member.write(block)
            else:
                gp.writestr('Content/score.gpif', score)


def main():
    if sys.argv[1] == '--hostile':
        hostile(sys.argv[2])
        return
    source, target = [arg for arg in sys.argv[1:] if not arg.startswith('--')]
    with zipfile.ZipFile(source) as gp:
        score = gp.read('Content/score.gpif')
    if '--older' in sys.argv:
        score = older(score)
    # Another member before the score, as the program's own files hold several.
    image = bcfs([('misc.xml', b'<misc/>'), ('score.gpif', score)])
    with open(target, 'wb') as f:
        f.write(image if '--plain' in sys.argv else bcfz(image))


if __name__ == '__main__':
    main()
