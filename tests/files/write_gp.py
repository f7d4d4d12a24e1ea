#!/usr/bin/env python3
"""Writes small Guitar Pro 3, 4 and 5 files for the import tests, from the formats' public
descriptions, together with the notes each file is meant to hold.

    write_gp.py OUTDIR             every fixture: OUTDIR/<song>.<version>.gpN and .expected
    write_gp.py --bench FILE BARS  one four-track .gp5 of BARS bars, for the benchmark
    write_gp.py --hostile OUTDIR   files whose counts and lengths lie

The .expected file lists, in the words of tests/peers/gp-notes.mjs, what the song holds:
bars, tempos and notes (track, bar, onset and length in 3840 ticks a quarter, string from 1
= highest, fret, techniques). The tests check that alphaTab reads those very notes from the
file, and then that Quorlin reads what alphaTab reads.
"""
import os
import struct
import sys

Q = 3840
VERSIONS = {
    'gp3': (3, 'FICHIER GUITAR PRO v3.00'),
    'gp4': (4, 'FICHIER GUITAR PRO v4.06'),
    'gp500': (500, 'FICHIER GUITAR PRO v5.00'),
    'gp510': (510, 'FICHIER GUITAR PRO v5.10'),
}
EXTENSION = {3: 'gp3', 4: 'gp4', 500: 'gp5', 510: 'gp5'}


class Out:
    def __init__(self):
        self.b = bytearray()

    def u8(self, v): self.b += struct.pack('<B', v & 0xFF)
    def i8(self, v): self.b += struct.pack('<b', v)
    def i16(self, v): self.b += struct.pack('<h', v)
    def i32(self, v): self.b += struct.pack('<i', v)
    def f64(self, v): self.b += struct.pack('<d', v)
    def raw(self, data): self.b += data

    def byte_string(self, text, size):
        data = text.encode('cp1252')[:size]
        self.u8(len(data))
        self.raw(data + b'\0' * (size - len(data)))

    def int_byte_string(self, text):
        data = text.encode('cp1252')
        self.i32(len(data) + 1)
        self.u8(len(data))
        self.raw(data)

    def int_string(self, text):
        data = text.encode('cp1252')
        self.i32(len(data))
        self.raw(data)


# A song is plain data:
#   tracks: [{name, tuning (highest first), percussion, program}]
#   bars: [{ts: (n, d), repeat_start, repeat_end (times played), endings (mask),
#            marker, key, double_bar}]
#   beats[track][bar][voice]: [beat], beat = {dur: -2..4 (whole..64th), dots, tuplet,
#            rest, notes: [note], slap/pop, tempo (mix table), text, chord}
#   note = {string, fret, tie, dead, ghost, accent, hammer, slide, bend, harmonic,
#           palm_mute, let_ring, vibrato, staccato, trill, tremolo, grace, velocity}


def beat_ticks(beat):
    ticks = Q * 4 // (1 << (beat['dur'] + 2))
    if beat.get('dots'):
        ticks = ticks * 3 // 2
    tuplet = beat.get('tuplet', 1)
    if tuplet != 1:
        into = {3: 2, 5: 4, 6: 4, 7: 4, 9: 8, 10: 8, 11: 8, 12: 8, 13: 8}[tuplet]
        ticks = ticks * into // tuplet
    return ticks


def write_info(o, v, song):
    if song.get('huge_title') or song.get('negative_title'):
        o.i32(-5 if song.get('negative_title') else 0x7FFFFFFF)
        o.u8(5)
        o.raw(b'Title')
    else:
        o.int_byte_string(song.get('title', ''))
    # Only Guitar Pro 5 names the music's author apart from the words'.
    for key in ['subtitle', 'artist', 'album', 'words'] + (['music'] if v >= 500 else []) + [
            'copyright', 'tab', 'instructions']:
        o.int_byte_string(song.get(key, ''))
    notices = song.get('notices', [])
    o.i32(len(notices))
    for line in notices:
        o.int_byte_string(line)


def write_lyrics(o):
    o.i32(1)
    o.i32(1)
    o.int_string('la la')
    for _ in range(4):
        o.i32(0)
        o.int_string('')


def write_channels(o, song):
    programs = {}
    for i, track in enumerate(song['tracks']):
        programs[channel_of(i, track)] = track.get('program', 33)
    for port in range(4):
        for ch in range(16):
            o.i32(programs.get(port * 16 + ch, 24))
            o.raw(bytes([13, 8, 0, 0, 0, 0, 0, 0]))


def channel_of(i, track):
    if track.get('percussion'):
        return 9
    return i if i < 9 else i + 1


def write_bar_header(o, v, song, i):
    bar = song['bars'][i]
    prev = song['bars'][i - 1] if i else {}
    flags = 0
    ts = bar.get('ts', (4, 4))
    prev_ts = prev.get('ts', (4, 4))
    if i == 0 or ts[0] != prev_ts[0]:
        flags |= 0x01
    if i == 0 or ts[1] != prev_ts[1]:
        flags |= 0x02
    for bit, key in ((0x04, 'repeat_start'), (0x08, 'repeat_end'), (0x10, 'endings'),
                     (0x20, 'marker'), (0x80, 'double_bar')):
        flags |= bit if bar.get(key) else 0
    flags |= 0x40 if bar.get('key') is not None else 0
    if v >= 500 and i:
        o.u8(0)
    o.u8(flags)
    if flags & 0x01:
        o.u8(ts[0])
    if flags & 0x02:
        o.u8(ts[1])
    if flags & 0x08:
        o.u8(bar['repeat_end'] if v >= 500 else bar['repeat_end'] - 1)
    if v < 500 and flags & 0x10:
        # The older formats name one ending by its number.
        o.u8(bar['endings'].bit_length())
    if flags & 0x20:
        o.int_byte_string(bar['marker'])
        o.raw(bytes([255, 0, 0, 0]))
    if flags & 0x40:
        o.i8(bar['key'])
        o.u8(0)
    if v >= 500:
        if flags & 0x03:
            o.raw(bytes([2, 2, 2, 2]))
        if flags & 0x10:
            o.u8(bar['endings'])
        else:
            o.u8(0)
        o.u8(0)  # triplet feel


def write_track(o, v, song, i):
    track = song['tracks'][i]
    if v >= 500 and (i == 0 or v == 500):
        o.u8(0)
    o.u8(1 if track.get('percussion') else 0)
    o.byte_string(track['name'], 40)
    tuning = track['tuning']
    o.i32(len(tuning))
    for s in range(7):
        o.i32(tuning[s] if s < len(tuning) else 0)
    ch = channel_of(i, track)
    o.i32(ch // 16 + 1)
    o.i32(ch % 16 + 1)
    o.i32(ch % 16 + 1)
    o.i32(24)
    o.i32(track.get('capo', 0))
    o.raw(bytes([255, 0, 0, 0]))
    if v >= 500:
        o.i16(0x0003)  # flags2
        o.u8(0)  # auto accentuation
        o.u8(0)  # bank
        o.u8(0)  # humanize
        o.raw(bytes(24))
        o.i32(-1)  # RSE instrument
        o.i32(0)
        o.i32(-1)
        if v == 500:
            o.i16(-1)
            o.u8(0)
        else:
            o.i32(-1)
            o.raw(bytes(4))  # equalizer
            o.int_byte_string('')
            o.int_byte_string('')


def write_bend(o):
    o.i8(1)
    o.i32(100)
    points = [(0, 0), (30, 100), (60, 100)]
    o.i32(len(points))
    for pos, val in points:
        o.i32(pos)
        o.i32(val)
        o.u8(0)


def write_chord(o, v, form):
    if v == 3 and form == 'new':
        o.u8(1)
        o.u8(0)  # sharp
        o.raw(bytes(3))
        for value in (9, 0, 0, -1, 0):  # root, kind, extension, bass, tonality
            o.i32(value)
        o.u8(0)  # added note
        o.byte_string('A', 22)
        for _ in range(3):  # fifth, ninth, eleventh
            o.i32(0)
        o.i32(1)
        for fret in (0, 2, 2, 2, 0, -1):
            o.i32(fret)
        o.i32(0)  # barres
        o.raw(bytes(6 * 4))
        o.raw(bytes(7))  # omissions
        o.u8(0)
        return
    if (v == 3 and form != 'new') or (v == 4 and form == 'old'):
        o.u8(0)  # the older, short diagram: six strings, seven from 4.06 on
        o.int_byte_string('E5')
        o.i32(1)
        for fret in (-1, -1, -1, 2, 2, 0) + ((-1,) if v == 4 else ()):
            o.i32(fret)
        return
    o.u8(1)
    o.raw(bytes(16))
    o.byte_string('A5', 21)
    o.raw(bytes(4))
    o.i32(1)
    for fret in (-1, -1, 2, 2, 0, -1, -1):
        o.i32(fret)
    o.raw(bytes(32))


def write_mix_table(o, v, tempo):
    o.i8(-1)  # instrument
    if v >= 500:
        o.raw(bytes(16))
    values = [-1] * 6
    if not tempo:
        values[0:2] = [12, 7]  # volume and balance, without a tempo
    for value in values:
        o.i8(value)
    if v >= 500:
        o.int_byte_string('')
    o.i32(tempo or -1)
    for value in values:
        if value >= 0:
            o.u8(1)  # over one beat
    if not tempo:
        if v >= 4:
            o.u8(0x03)
        if v >= 500:
            o.i8(-1)
            if v >= 510:
                o.int_byte_string('')
                o.int_byte_string('')
        return
    o.u8(0)  # tempo change over no beats
    if v >= 510:
        o.u8(0)  # tempo shown
    if v >= 4:
        o.u8(0)  # applies to this track only
    if v >= 500:
        o.i8(-1)  # wah
        if v >= 510:
            o.int_byte_string('')
            o.int_byte_string('')


def write_beat_effects(o, v, beat):
    slap = beat.get('slap')
    notes = beat.get('notes', [])
    whammy = beat.get('whammy')
    stroke = 0x40 if beat.get('stroke') else 0
    if v == 3:
        harmonic = 0x04 if any(n.get('harmonic') for n in notes) else 0
        vibrato = 0x01 if any(n.get('vibrato') for n in notes) else 0
        o.u8((0x20 if slap or whammy else 0) | harmonic | vibrato | stroke)
        if slap or whammy:
            o.u8({'tap': 1, 'slap': 2, 'pop': 3}[slap] if slap else 0)
            o.i32(-50 if whammy else 0)  # a tremolo bar's dip, in quarter tones
    else:
        o.u8((0x20 if slap else 0) | stroke)
        o.u8((0x04 if whammy else 0) | (0x02 if beat.get('pickstroke') else 0))
        if slap:
            o.u8({'tap': 1, 'slap': 2, 'pop': 3}[slap])
        if whammy:
            write_bend(o)
    if stroke:
        o.u8(2)  # down, over a sixteenth
        o.u8(0)
    if v >= 4 and beat.get('pickstroke'):
        o.i8(1)


def note_marks(v, note):
    """The techniques a note carries in version v, as alphaTab names them."""
    keep = ['dead', 'ghost', 'bend', 'harmonic', 'vibrato', 'let_ring', 'grace']
    if v == 3:
        keep.remove('ghost')
    else:
        keep += ['palm_mute', 'staccato', 'trill', 'tremolo', 'accent']
    return [k for k in keep if note.get(k)]


def write_note(o, v, note):
    marks = note_marks(v, note)
    on = set(marks) | {k for k in ('hammer', 'slide') if note.get(k)}
    first = {'bend': 0x01, 'hammer': 0x02, 'let_ring': 0x08, 'grace': 0x10}
    if v == 3:
        first['slide'] = 0x04
    second = {} if v == 3 else {'staccato': 0x01, 'palm_mute': 0x02, 'tremolo': 0x04,
                                'slide': 0x08, 'harmonic': 0x10, 'trill': 0x20, 'vibrato': 0x40}
    effects1 = sum(bit for name, bit in first.items() if name in on)
    effects2 = sum(bit for name, bit in second.items() if name in on)
    flags = 0x20 | (0x08 if effects1 or effects2 else 0) | (0x04 if 'ghost' in marks else 0)
    flags |= (0x40 if 'accent' in marks else 0) | (0x10 if note.get('velocity') else 0)
    flags |= (0x80 if note.get('fingers') else 0) | (0x01 if note.get('own_length') else 0)
    o.u8(flags)
    o.u8(2 if note.get('tie') else 3 if note.get('dead') else 1)
    if v < 500 and flags & 0x01:
        o.i8(0)  # a quarter, in no tuplet
        o.i8(0)
    if flags & 0x10:
        o.i8(note['velocity'])
    o.i8(note['fret'])
    if flags & 0x80:
        o.i8(1)  # left hand: index finger
        o.i8(-1)
    if v >= 500:
        if flags & 0x01:
            o.f64(1.0)
        o.u8(0)  # flags2
    if not flags & 0x08:
        return
    o.u8(effects1)
    if v >= 4:
        o.u8(effects2)
    if effects1 & 0x01:
        write_bend(o)
    if effects1 & 0x10:
        o.u8(note['grace'])
        o.u8(6)
        o.u8(0)
        o.u8(1)
        if v >= 500:
            o.u8(0)
    if effects2 & 0x04:
        o.u8(2)
    if effects2 & 0x08:
        o.u8(1)  # a shift slide to the next note
    if effects2 & 0x10:
        kind = note['harmonic'] if v >= 500 and note['harmonic'] in (2, 3) else 1
        o.u8(kind)
        if kind == 2:
            o.raw(bytes([0, 1, 0]))  # artificial: C, sharp, an octave up
        elif kind == 3:
            o.u8(note['fret'] + 12)  # tapped twelve frets up
    if effects2 & 0x20:
        o.u8(note['fret'] + 2)
        o.u8(1)


def write_beat(o, v, beat):
    notes = beat.get('notes', [])
    flags = sum(bit for bit, key in ((0x01, 'dots'), (0x02, 'chord'), (0x04, 'text'),
                                     (0x40, 'rest')) if beat.get(key))
    needs_effects = any(beat.get(k) for k in ('slap', 'whammy', 'stroke', 'pickstroke')) or (
        v == 3 and any(n.get('harmonic') or n.get('vibrato') for n in notes))
    if needs_effects:
        flags |= 0x08
    if 'tempo' in beat:
        flags |= 0x10
    if beat.get('tuplet', 1) != 1:
        flags |= 0x20
    o.u8(flags)
    if flags & 0x40:
        o.u8(2)
    o.i8(beat['dur'])
    if flags & 0x20:
        o.i32(beat['tuplet'])
    if flags & 0x02:
        write_chord(o, v, beat['chord'])
    if flags & 0x04:
        o.int_byte_string(beat['text'])
    if flags & 0x08:
        write_beat_effects(o, v, beat)
    if flags & 0x10:
        write_mix_table(o, v, beat['tempo'])
    mask = 0
    for n in notes:
        mask |= 1 << (7 - n['string'])
    o.u8(mask)
    for n in sorted(notes, key=lambda n: n['string']):
        write_note(o, v, n)
    if v >= 500:
        o.i16(0x0800 if beat.get('break_beams') else 0)
        if beat.get('break_beams'):
            o.u8(2)


def write_song(song, v, version_text):
    o = Out()
    o.byte_string(version_text, 30)
    write_info(o, v, song)
    if v < 500:
        o.u8(0)  # triplet feel
    if v >= 4:
        write_lyrics(o)
    if v >= 510:
        o.i32(0)
        o.i32(0)
        o.raw(bytes(11))
    if v >= 500:
        o.raw(struct.pack('<7i', 210, 297, 10, 10, 15, 10, 100))
        o.i16(0x1FF)
        for _ in range(10):
            o.int_byte_string('')
        o.int_byte_string('Moderate')
    o.i32(song.get('tempo', 120))
    if v >= 510:
        o.u8(0)
    if v >= 500:
        o.i8(0)
        o.i32(0)
    else:
        o.i32(0)
        if v == 4:
            o.i8(0)
    write_channels(o, song)
    if v >= 500:
        for _ in range(19):
            o.i16(-1)
        o.i32(0)
    o.i32(song.get('claim_bars', len(song['bars'])))
    o.i32(song.get('claim_tracks', len(song['tracks'])))
    for i in range(len(song['bars'])):
        write_bar_header(o, v, song, i)
    for i in range(len(song['tracks'])):
        write_track(o, v, song, i)
    if v >= 500:
        o.raw(bytes(2 if v == 500 else 1))
    for b in range(0 if song.get('no_measures') else len(song['bars'])):
        for t in range(len(song['tracks'])):
            voices = song['beats'][t][b]
            for voice in range(2 if v >= 500 else 1):
                beats = voices[voice] if voice < len(voices) else []
                if not beats and voice == 0:
                    beats = [{'dur': 0, 'rest': True}]
                o.i32(song.get('claim_beats', len(beats)))
                for beat in beats:
                    write_beat(o, v, beat)
            # A line break ends each bar but the song's last, as Guitar Pro 5 writes them.
            if v >= 500 and (b, t) != (len(song['bars']) - 1, len(song['tracks']) - 1):
                o.u8(0)
    return bytes(o.b)


def expected(song, v):
    lines = []
    masks = []
    for i, bar in enumerate(song['bars']):
        ts = bar.get('ts', (4, 4))
        ends = bar.get('endings', 0)
        if v < 500 and ends:
            # The older formats number the last ending; the bar takes those up to it that
            # no bar since the repeat's start took.
            taken = 0
            for j in range(i - 1, -1, -1):
                taken |= masks[j]
                if song['bars'][j].get('repeat_start'):
                    break
            ends = ((1 << ends.bit_length()) - 1) & ~taken
        masks.append(ends)
        lines.append(f"bar\t{i + 1}\t{ts[0]}/{ts[1]}\t{1 if bar.get('repeat_start') else 0}"
                     f"\t{bar.get('repeat_end', 0)}\t{ends}")
    tempos = []
    notes = []
    for t, track in enumerate(song['tracks']):
        tuning = track['tuning']
        drums = track.get('percussion')
        if drums:
            lines.append(f"track\t{t + 1}\t{track['name']}\t0\t\t1")
        else:
            lines.append(f"track\t{t + 1}\t{track['name']}\t{len(tuning)}\t"
                         f"{','.join(map(str, tuning))}\t0")
        last = {}  # (voice, string) -> the note before, for ties, hammers and slides
        for b in range(len(song['bars'])):
            for voice, beats in enumerate(song['beats'][t][b]):
                if voice and v < 500:
                    continue
                onset = 0
                for beat in beats:
                    ticks = beat_ticks(beat)
                    if beat.get('tempo') and t == 0 and voice == 0:
                        tempos.append((b + 1, onset, beat['tempo']))
                    for n in beat.get('notes', []):
                        key = (voice, n['string'])
                        before = last.get(key)
                        if n.get('tie') and before:
                            before['length'] += ticks
                            continue
                        techs = [m.replace('_', '') for m in note_marks(v, n)]
                        if beat.get('slap'):
                            techs.append(beat['slap'])
                        if before and before['hammer']:
                            pitch = tuning[n['string'] - 1] + n['fret']
                            techs.append('hammer' if pitch >= before['pitch'] else 'pull')
                        if before and before['slide']:
                            techs.append('slide')
                        rec = {'track': t + 1, 'bar': b + 1, 'onset': onset,
                               'string': 0 if drums else n['string'], 'fret': n['fret'],
                               'length': ticks,
                               'techs': techs, 'hammer': n.get('hammer'),
                               'slide': n.get('slide'),
                               'pitch': tuning[n['string'] - 1] + n['fret']}
                        notes.append(rec)
                        last[key] = rec
                    onset += ticks
    tempos.sort()
    if song.get('tempo', 120) and not any(tp[0] == 1 and tp[1] == 0 for tp in tempos):
        tempos.insert(0, (1, 0, song.get('tempo', 120)))
    for bar, onset, qpm in tempos:
        lines.append(f'tempo\t{bar}\t{onset}\t{qpm}')
    for n in notes:
        techs = ','.join(sorted(n['techs'])) or '-'
        lines.append(f"note\t{n['track']}\t{n['bar']}\t{n['onset']}\t{n['string']}"
                     f"\t{n['fret']}\t{n['length']}\t{techs}")
    return '\n'.join(sorted(lines)) + '\n'


# The songs.
BASS4 = [43, 38, 33, 28]
BASS5 = [43, 38, 33, 28, 23]
BASS6 = [48, 43, 38, 33, 28, 23]
GUITAR = [64, 59, 55, 50, 45, 40]
DRUMS = [0, 0, 0, 0, 0, 0]


def q(string, fret, dur=0, **extra):
    return {'dur': dur, 'notes': [dict(string=string, fret=fret, **extra)]}


def rest(dur=0, **extra):
    return dict(dur=dur, rest=True, **extra)


def one_track(bars, beats, tuning=BASS4, **song):
    return dict(tracks=[dict(name='Bass', tuning=tuning, program=33)], bars=bars,
                beats=[[[b] for b in beats]], **song)


def songs():
    yield 'basics', one_track(
        [{}, {}],
        [[q(4, 3), dict(dur=1, notes=[dict(string=3, fret=5)], text='riff', chord=True),
          q(3, 7, 1), dict(q(2, 5, 0), dots=True), q(1, 0, 1)],
         [rest(0), dict(dur=-1, notes=[dict(string=4, fret=0), dict(string=2, fret=2)]),
          q(1, 12, 0, velocity=8)]],
        title='Basics', subtitle='A test', artist='Quorlin', album='Fixtures',
        words='Nobody', music='Someone', copyright='2026', tab='write_gp.py',
        instructions='Play it', notices=['first notice', 'second notice'], tempo=96)
    yield 'techniques', one_track(
        [{}, {}, {}, {}],
        [[q(3, 5, 1, hammer=True), q(3, 7, 1, hammer=True), q(3, 5, 1), q(3, 7, 1, slide=True),
          q(3, 9, 1), dict(q(4, 3, 1), slap='slap'), dict(q(2, 5, 1), slap='pop'),
          q(4, 0, 1, dead=True)],
         [q(4, 5, 0, ghost=True), q(3, 7, 0, bend=True), q(2, 12, 0, harmonic=True),
          q(1, 5, 0, vibrato=True)],
         [q(4, 1, 0, palm_mute=True), q(4, 3, 0, let_ring=True),
          q(3, 2, 1, staccato=True), q(3, 4, 1, accent=True), q(2, 2, 1, trill=True),
          q(2, 4, 1, tremolo=True)],
         [q(4, 0, -1), q(3, 7, -1, grace=5)]])
    yield 'tuplets', one_track(
        [{}, {}],
        [[dict(q(4, 1, 1), tuplet=3), dict(q(4, 2, 1), tuplet=3), dict(q(4, 3, 1), tuplet=3),
          *[dict(q(3, f, 2), tuplet=5) for f in range(5)],
          dict(q(2, 1, 1), dots=True), q(2, 3, 2), *[q(1, f, 4) for f in range(8)]],
         [dict(q(4, 5, -2), chord='new')]])
    yield 'ties', one_track(
        [{}, {}, {}],
        [[q(4, 5, -1), q(3, 2, -1)],
         [q(3, 2, 0, tie=True), q(3, 2, 0, tie=True), q(4, 0, -1)],
         [q(4, 0, -2, tie=True)]])
    yield 'repeats', one_track(
        [{'repeat_start': True, 'marker': 'Intro'}, {'repeat_end': 3},
         {'ts': (3, 4), 'repeat_start': True, 'key': 2},
         {'endings': 1, 'repeat_end': 2}, {'endings': 2, 'double_bar': True, 'ts': (2, 4)},
         {'ts': (6, 8)}],
        [[q(4, 1, -1), q(4, 3, -1)], [q(4, 5, -2)], [q(3, 0, -1, ), q(3, 2, 0)],
         [dict(q(3, 3, -1), dots=True)], [q(3, 5, -1)],
         [dict(q(2, 0, -1), dots=True), dict(q(2, 2, -1), dots=True)]])
    multi = dict(
        tracks=[dict(name='Lead', tuning=GUITAR, program=29),
                dict(name='Kit', tuning=DRUMS, percussion=True, program=0),
                dict(name='Bass 4', tuning=BASS4, program=33),
                dict(name='Bass 5', tuning=BASS5, program=34),
                dict(name='Bass 6', tuning=BASS6, program=33, capo=2)],
        bars=[{}])
    multi['beats'] = [
        [[[q(1, 12, -1), dict(dur=-1, notes=[dict(string=6, fret=0), dict(string=5, fret=2),
                                              dict(string=4, fret=2)])]]],
        [[[q(5, 36, 0), q(3, 38, 0), q(5, 36, 0), q(3, 38, 0)]]],
        [[[q(4, 0, -1), q(1, 9, -1)]]],
        [[[q(5, 2, -1), q(5, 0, -1)]]],
        [[[q(6, 5, 0), q(1, 7, 0), q(6, 3, -1)]]]]
    yield 'tracks', multi
    yield 'rests', one_track([{}, {'ts': (2, 4)}],
                             [[rest(-1), rest(0), rest(1), rest(1)], [rest(-1)]])
    yield 'tempos', one_track(
        [{}, {}, {}],
        [[q(4, 0, -1, ), dict(q(4, 2, -1), tempo=140)],
         [dict(q(3, 0, -2), tempo=70)],
         [q(3, 2, 0), q(3, 4, 0), dict(q(3, 5, 0), tempo=180), q(3, 7, 0)]], tempo=100)
    # What the reader reads past: strokes, tremolo bars, fingering, a note's own length,
    # harmonics of other kinds, mixer changes, broken beams and chord diagrams.
    yield 'rarities', one_track(
        [{}, {}],
        [[dict(q(4, 3, 0, fingers=True), stroke=True, pickstroke=True),
          dict(q(3, 5, 0, own_length=True), whammy=True),
          dict(q(2, 7, 0, harmonic=2), tempo=None, break_beams=True),
          dict(q(1, 5, 0, harmonic=3), chord='old')],
         [dict(q(4, 0, -1, velocity=4), chord='old'), q(3, 2, -1, fingers=True)]])
    yield 'endings', one_track(
        [{'repeat_start': True}, {'endings': 1, 'repeat_end': 3}, {'endings': 2, 'repeat_end': 3},
         {'endings': 4}], [[q(4, f, -2)] for f in (1, 3, 5, 7)])
    # Grace notes leading into notes on their string, some tied on: the notes after them stay.
    yield 'graces', one_track(
        [{}, {}],
        [[q(3, 5, 1, grace=3), q(3, 5, 1, tie=True), q(4, 3, 1, grace=1), q(4, 5, 1, grace=3),
          q(2, 7, 0, grace=5), q(1, 2, 0, grace=0)],
         [q(3, 7, 0, grace=5), q(3, 7, 0, tie=True), q(4, 0, -1, grace=2)]])
    two = one_track([{}, {}], [[q(4, 0, -2)], [q(4, 3, -1), q(4, 5, -1)]])
    two['beats'][0][0].append([q(1, 5, 0), q(1, 7, 0), rest(-1)])
    two['beats'][0][1].append([rest(-1), q(2, 9, -1)])
    yield 'voices', two


def bench_song(bars):
    tracks = [dict(name='Lead', tuning=GUITAR, program=29),
              dict(name='Kit', tuning=DRUMS, percussion=True, program=0),
              dict(name='Bass', tuning=BASS4, program=33),
              dict(name='Keys', tuning=GUITAR, program=0)]
    beats = []
    for t in range(4):
        per_bar = []
        for b in range(bars):
            per_bar.append([[q(1 + (i + t) % 4, (b + i) % 12, 1, hammer=(i % 3 == 0))
                             for i in range(8)]])
        beats.append(per_bar)
    return dict(tracks=tracks, bars=[{} for _ in range(bars)], beats=beats)


def hostile():
    """Files that lie about their sizes, each refused by a reader that checks them."""
    def small():
        return one_track([{}], [[q(4, 3, -2)]])
    yield 'huge-text.gp5', 510, dict(small(), huge_title=True)
    yield 'negative-text.gp3', 3, dict(small(), negative_title=True)
    yield 'million-tracks.gp5', 510, dict(small(), claim_tracks=1_000_000)
    yield 'million-bars.gp4', 4, dict(small(), claim_bars=1_000_000)
    yield 'million-beats.gp3', 3, dict(small(), claim_beats=1_000_000)
    yield 'negative-beats.gp5', 500, dict(small(), claim_beats=-1)
    # Read, with what could not be taken listed: a note on a fifth string of a four-string
    # track, and a quadruplet, which has no place among the tuplets.
    yield 'odd-notes.gp4', 4, one_track([{}], [[q(5, 3, -1), dict(q(4, 2, 1), tuplet=4), q(4, 0, 1),
                                                 q(4, 0, -1)]])
    # A problem on every beat: the list stops at a thousand.
    yield 'many-tuplets.gp4', 4, one_track([{}], [[dict(q(4, 0, 4), tuplet=4)] * 3000])
    # Every bar's and track's heading present, and not a byte of their beats.
    yield 'crowded.gp3', 3, dict(tracks=[dict(name='Bass', tuning=BASS4)] * 100,
                                 bars=[{}] * 20000, no_measures=True)


def main():
    if sys.argv[1] == '--hostile':
        os.makedirs(sys.argv[2], exist_ok=True)
        texts = dict(VERSIONS.values())
        for name, v, song in hostile():
            with open(os.path.join(sys.argv[2], name), 'wb') as f:
                f.write(write_song(song, v, texts[v]))
        return
    if sys.argv[1] == '--bench':
        with open(sys.argv[2], 'wb') as f:
            f.write(write_song(bench_song(int(sys.argv[3])), 510, VERSIONS['gp510'][1]))
        return
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, song in songs():
        for label, (v, text) in VERSIONS.items():
            # A second voice is Guitar Pro 5's; an ending by its number the older formats'.
            if (name == 'voices' and v < 500) or (name == 'endings' and v >= 500):
                continue
            base = os.path.join(out, f'{name}.{label}')
            with open(f'{base}.{EXTENSION[v]}', 'wb') as f:
                f.write(write_song(song, v, text))
            with open(f'{base}.expected', 'w') as f:
                f.write(expected(song, v))


if __name__ == '__main__':
    main()
