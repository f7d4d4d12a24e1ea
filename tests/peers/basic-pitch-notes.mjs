// Transcribes a WAV file with Basic Pitch and prints the notes as the transcription JSON the
// set's scorer reads (ticks 0 and string 0: Basic Pitch writes no tab).
// Usage: node basic-pitch-notes.mjs IN.wav [--backend wasm|cpu] > out.json
// Notes come from outputToNotesPoly with its own defaults: onset threshold 0.5, frame
// threshold 0.3, minimum length 5 frames (58 ms), onsets inferred, melodia trick on.
// Polyphony is kept as the model gives it.
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import * as tf from '@tensorflow/tfjs';
import { setWasmPaths } from '@tensorflow/tfjs-backend-wasm';
import {
    BasicPitch,
    addPitchBendsToNoteEvents,
    noteFramesToTime,
    outputToNotesPoly,
} from '@spotify/basic-pitch';

const require = createRequire(import.meta.url);
const modelRate = 22050;

// PCM 16/24/32-bit and 32-bit float WAV, channels mixed to mono.
export function readWav(bytes) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const tag = (at) => String.fromCharCode(...bytes.subarray(at, at + 4));
    if (tag(0) !== 'RIFF' || tag(8) !== 'WAVE') throw new Error('not a WAV file');
    let format = null;
    for (let at = 12; at + 8 <= bytes.length;) {
        const id = tag(at);
        const size = view.getUint32(at + 4, true);
        const body = at + 8;
        if (id === 'fmt ') {
            let code = view.getUint16(body, true);
            if (code === 0xfffe) code = view.getUint16(body + 24, true);
            format = {
                code,
                channels: view.getUint16(body + 2, true),
                rate: view.getUint32(body + 4, true),
                bits: view.getUint16(body + 14, true),
            };
        } else if (id === 'data') {
            if (!format) throw new Error('WAV data before its format');
            const width = format.bits / 8;
            const frames = Math.floor(Math.min(size, bytes.length - body) / (width * format.channels));
            const out = new Float32Array(frames);
            const sample = (p) => {
                if (format.code === 3) return view.getFloat32(p, true);
                if (width === 2) return view.getInt16(p, true) / 32768;
                if (width === 3) return ((view.getUint8(p) | (view.getUint8(p + 1) << 8) | (view.getInt8(p + 2) << 16)) / 8388608);
                if (width === 4) return view.getInt32(p, true) / 2147483648;
                throw new Error(`${format.bits}-bit WAV not read`);
            };
            for (let i = 0; i < frames; ++i) {
                let sum = 0;
                for (let c = 0; c < format.channels; ++c) sum += sample(body + (i * format.channels + c) * width);
                out[i] = sum / format.channels;
            }
            return { rate: format.rate, samples: out };
        }
        at = body + size + (size & 1);
    }
    throw new Error('WAV without data');
}

// Windowed-sinc resampling, cut off below the lower Nyquist frequency. The taps depend only on
// where an output sample falls between input samples, a whole number of places for whole rates,
// so each place's taps are worked out once.
export function resample(samples, from, to) {
    if (from === to) return samples;
    const ratio = to / from;
    const cutoff = Math.min(1, ratio) * 0.95;
    const half = 32;
    const reach = Math.ceil(half / cutoff);
    const kernels = new Map();
    const kernelAt = (place) => {
        let taps = kernels.get(place);
        if (!taps) {
            const fraction = place / to;
            taps = new Float64Array(2 * reach + 1);
            for (let k = -reach; k <= reach; ++k) {
                const x = (k - fraction) * cutoff;
                const sinc = x === 0 ? 1 : Math.sin(Math.PI * x) / (Math.PI * x);
                const window = Math.abs(x) < half ? 0.5 + 0.5 * Math.cos((Math.PI * x) / half) : 0;
                taps[k + reach] = sinc * window * cutoff;
            }
            kernels.set(place, taps);
        }
        return taps;
    };
    const out = new Float32Array(Math.floor(samples.length * ratio));
    for (let i = 0; i < out.length; ++i) {
        const whole = Math.floor((i * from) / to);
        const taps = kernelAt(i * from - whole * to);
        let sum = 0;
        const first = Math.max(0, whole - reach);
        const last = Math.min(samples.length - 1, whole + reach);
        for (let j = first; j <= last; ++j) sum += samples[j] * taps[j - whole + reach];
        out[i] = sum;
    }
    return out;
}

// The model's Fill nodes carry no dtype; the CPU kernel takes it from the value, the wasm one
// does not, so it gets the same default here.
function fillWithoutDtype() {
    const kernel = tf.getKernel('Fill', 'wasm');
    if (!kernel) return;
    tf.unregisterKernel('Fill', 'wasm');
    tf.registerKernel({
        ...kernel,
        kernelFunc: (args) =>
            kernel.kernelFunc({
                ...args,
                attrs: { ...args.attrs, dtype: args.attrs.dtype ?? (typeof args.attrs.value === 'string' ? 'string' : 'float32') },
            }),
    });
}

async function main() {
    const args = process.argv.slice(2);
    const input = args.find((a) => !a.startsWith('--'));
    const backendAt = args.indexOf('--backend');
    const backend = backendAt >= 0 ? args[backendAt + 1] : 'wasm';
    if (!input) {
        console.error('usage: basic-pitch-notes.mjs IN.wav [--backend wasm|cpu]');
        process.exit(2);
    }
    if (backend === 'wasm') {
        const dist = dirname(require.resolve('@tensorflow/tfjs-backend-wasm/dist/tfjs-backend-wasm.wasm'));
        setWasmPaths(dist + '/');
        fillWithoutDtype();
    }
    await tf.setBackend(backend);
    await tf.ready();

    const wav = readWav(readFileSync(input));
    const audio = resample(wav.samples, wav.rate, modelRate);
    const modelDir = dirname(require.resolve('@spotify/basic-pitch/model/model.json'));
    const modelJson = JSON.parse(readFileSync(join(modelDir, 'model.json'), 'utf8'));
    const weights = readFileSync(join(modelDir, 'group1-shard1of1.bin'));
    const handler = tf.io.fromMemory({
        modelTopology: modelJson.modelTopology,
        weightSpecs: modelJson.weightsManifest[0].weights,
        weightData: weights.buffer.slice(weights.byteOffset, weights.byteOffset + weights.byteLength),
        format: modelJson.format,
        generatedBy: modelJson.generatedBy,
        convertedBy: modelJson.convertedBy,
    });
    const model = new BasicPitch(tf.loadGraphModel(handler));

    const frames = [];
    const onsets = [];
    const contours = [];
    await model.evaluateModel(
        audio,
        (f, o, c) => {
            frames.push(...f);
            onsets.push(...o);
            contours.push(...c);
        },
        () => {},
    );
    const notes = noteFramesToTime(addPitchBendsToNoteEvents(contours, outputToNotesPoly(frames, onsets)));
    notes.sort((a, b) => a.startTimeSeconds - b.startTimeSeconds || a.pitchMidi - b.pitchMidi);
    const out = notes.map((n) => ({
        onset: +n.startTimeSeconds.toFixed(4),
        offset: +(n.startTimeSeconds + n.durationSeconds).toFixed(4),
        pitch: n.pitchMidi,
        confidence: +n.amplitude.toFixed(3),
        ticks: 0,
        string: 0,
        fret: 0,
        technique: 'plain',
    }));
    process.stdout.write(JSON.stringify({ tempo: 0, notes: out }) + '\n');
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
    main().catch((e) => {
        console.error(`basic-pitch-notes: ${process.env.BP_DEBUG ? e.stack : e.message}`);
        process.exit(1);
    });
}
