// Reads Guitar Pro files with alphaTab and prints what it holds, one fact a line, so that
// the import tests compare Quorlin's reading against an independent reader:
//   track <n> <name> <strings> <tuning, highest first> <percussion 0|1>
//   bar <n> <beats>/<beat type> <repeat start 0|1> <times played> <endings mask>
//   tempo <bar> <onset> <quarters per minute>
//   note <track> <bar> <onset> <string> <fret> <length> <techniques>
// Bars and tracks count from 1, string 1 is the highest, times are in 3840 ticks a quarter
// (ties joined into the first note), techniques a sorted comma list or "-".
import { readFileSync } from 'node:fs';
import * as alphaTab from '@coderline/alphatab';

const toTicks = 3840 / 960; // alphaTab counts 960 a quarter

function describe(path) {
    const score = alphaTab.importer.ScoreLoader.loadScoreFromBytes(
        new Uint8Array(readFileSync(path)), new alphaTab.Settings());

    const out = [];
    score.masterBars.forEach((mb, i) => {
        out.push(['bar', i + 1, `${mb.timeSignatureNumerator}/${mb.timeSignatureDenominator}`,
            mb.isRepeatStart ? 1 : 0, mb.repeatCount, mb.alternateEndings].join('\t'));
        // A file's first tempo may come twice, from the song and from a change on its first beat.
        const seen = new Set();
        for (const a of mb.tempoAutomations ?? []) {
            const onset = Math.round(a.ratioPosition * mb.calculateDuration() * toTicks);
            const line = ['tempo', i + 1, onset, a.value].join('\t');
            if (!seen.has(line)) out.push(line);
            seen.add(line);
        }
    });

    const pitchOf = (n) => n.realValue;

    function techniques(note, beat) {
        const t = [];
        if (note.isHammerPullDestination && note.hammerPullOrigin) {
            t.push(pitchOf(note) >= pitchOf(note.hammerPullOrigin) ? 'hammer' : 'pull');
        }
        if (note.slideOrigin) t.push('slide');
        if (beat.slap) t.push('slap');
        if (beat.pop) t.push('pop');
        if (beat.tap) t.push('tap');
        if (note.isDead) t.push('dead');
        if (note.isGhost) t.push('ghost');
        if (note.hasBend) t.push('bend');
        if (note.isHarmonic) t.push('harmonic');
        if (note.vibrato || beat.vibrato) t.push('vibrato');
        if (note.isPalmMute) t.push('palmmute');
        if (note.isLetRing) t.push('letring');
        if (note.isStaccato) t.push('staccato');
        if (note.accentuated) t.push('accent');
        if (note.isTrill) t.push('trill');
        if (beat.isTremolo) t.push('tremolo');
        if (note.isGrace) t.push('grace');
        return t.length ? t.sort().join(',') : '-';
    }

    score.tracks.forEach((track, ti) => {
        const staff = track.staves[0];
        const strings = staff.tuning.length;
        out.push(['track', ti + 1, track.name, strings, staff.tuning.join(','),
            staff.isPercussion ? 1 : 0].join('\t'));
        staff.bars.forEach((bar, bi) => {
            for (const voice of bar.voices) {
                let graceStrings = new Set();
                for (const beat of voice.beats) {
                    if (beat.graceType !== alphaTab.model.GraceType.None) {
                        for (const n of beat.notes) graceStrings.add(n.string);
                        continue;
                    }
                    for (const note of beat.notes) {
                        if (note.isTieDestination) continue;
                        let length = beat.displayDuration;
                        for (let n = note.tieDestination; n; n = n.tieDestination) {
                            length += n.beat.displayDuration;
                        }
                        note.isGrace = graceStrings.has(note.string);
                        // A drum's note is its MIDI key, on no string.
                        const place = staff.isPercussion
                            ? [0, track.percussionArticulations[note.percussionArticulation]
                                ?.outputMidiNumber ?? note.percussionArticulation]
                            : [strings - note.string + 1, note.fret];
                        out.push(['note', ti + 1, bi + 1, beat.displayStart * toTicks, ...place,
                            length * toTicks,
                            techniques(note, beat)].join('\t'));
                    }
                    graceStrings = new Set();
                }
            }
        });
    });
    return out.sort();
}

// Several files in one run, each after a line naming it.
for (const path of process.argv.slice(2)) {
    console.log(`file\t${path}`);
    try {
        for (const line of describe(path)) console.log(line);
    } catch (e) {
        console.log(`error\t${e.message}`);
    }
}
