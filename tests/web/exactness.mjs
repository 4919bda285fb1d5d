// How far the module's output lies from the native build's: the reference
// cases, seeded random patches and generated states, side by side.
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { difference, nativeRender, run, withTempFolder } from './native.mjs';

const settling = ['Pitch Start=1', 'Pitch End=0.2', 'Pitch Duration=0.05', 'Pitch Curve=2',
    'Amp Env Attack=0.02', 'Amp Env Decay=0.1', 'Amp Env Sustain=0.6', 'Amp Env Release=0.05',
    'Filter LP Cutoff=6000', 'Filter LP Resonance=2', 'Filter HP Cutoff=150', 'Osc2 EnvDepth=0.7'];
const waveforms = ['Triangle', 'Sin', 'Square', 'Saw', 'Breaker', 'Tan', 'Whistle'];

// The instrument tests' reference renders, as requests.
export function referenceCases() {
    const cases = [
        { name: 'default patch', notes: [[69, 127, 0, 0.3]] },
        { name: 'heavy patch', rate: 48000, length: 0.5, seed: 1234,
          settings: ['Osc1 Type=Whistle', 'Osc2 Type=Tan', 'Osc3 Type=Square', 'Osc2 Level=0',
              'Osc3 Level=0', 'White Level=-12', 'Pink Level=-12', 'Filter LP Env Depth=0.5',
              'Filter HP Env Depth=0.5', 'Filter LP Cutoff=2000', 'Filter HP Cutoff=200',
              'Pitch Start=-1', 'Pitch End=1', 'Pitch Duration=2', 'Pitch Curve=3',
              'BitCrush Position=Inside', 'BitCrush Sample Rate=8000', 'BitCrush Bit Depth=8'],
          notes: [[48, 127, 0, 0.4], [55, 100, 0, 0.4], [60, 90, 0.01, 0.3], [64, 80, 0.02, 1]] },
        { name: 'saws, crusher after',
          settings: ['Osc1 Type=Saw', 'Osc2 Type=Breaker', 'Osc2 Level=-6', 'Osc2 Octave=1',
              'Osc1 Phase=0.25', 'Amp Env Attack=0.05', 'Amp Env Sustain=0.3', 'Amp Env Decay=0.1',
              'Filter LP Cutoff=5000', 'Filter LP Resonance=4', 'Filter LP Env Depth=-0.7',
              'BitCrush Position=After', 'BitCrush Sample Rate=11025', 'BitCrush Bit Depth=6',
              'Compression Factor=0'],
          notes: [[40, 127, 0, 0.2], [52, 64, 0.1, 0.2]] },
        { name: 'pitch jump',
          settings: ['Osc1 Type=Square', 'Osc1 Square Duty=0.2', 'Pitch Jump Delay=0.05',
              'Pitch Jump Transpose=7', 'Pitch Jump Trigger=Both', 'Pitch Jump Time=0.05',
              'Amp Env Release=0.05', 'Output Gain=3'],
          notes: [[60, 110, 0, 0.1]] },
    ];
    for (let pass = 0; pass < 3; ++pass) {
        const settings = [];
        for (let osc = 0; osc < 3; ++osc)
            settings.push(`Osc${osc + 1} Type=${waveforms[(osc + 3 * pass) % 7]}`, `Osc${osc + 1} Level=-6`);
        settings.push('White Level=-18', 'Pink Level=-18', 'Filter LP Cutoff=3000',
            'Filter LP Env Depth=0.6', 'Filter HP Cutoff=300', 'Filter HP Env Depth=-0.4',
            'Filter Env Decay=0.2', 'Filter Env Sustain=0.3');
        cases.push({ name: `every waveform ${pass + 1}`, seed: 77 + pass, settings,
                     notes: [[55, 120, 0, 0.25], [62, 100, 0.05, 0.2]] });
    }
    cases.push({ name: 'one-bit crusher after the filter',
                 settings: ['Osc1 Type=Saw', 'Filter LP Cutoff=4000', 'BitCrush Position=After',
                     'BitCrush Bit Depth=1', 'BitCrush Sample Rate=11025'],
                 notes: [[48, 127, 0, 0.3]] });
    for (const type of ['Triangle', 'Square', 'Saw', 'Breaker'])
        cases.push({ name: `held, ${type}`,
                     settings: [...settling, 'Osc1 Type=Off', 'Osc2 Level=-3', 'Osc2 Square Duty=0.3',
                         'Osc2 Phase=0.1', `Osc2 Type=${type}`],
                     notes: [[57, 120, 0, 0.25], [64, 90, 0.35, 0.2]] });
    cases.push({ name: 'held, mixed oscillators',
                 settings: [...settling, 'Osc2 Type=Square', 'Osc2 Level=-6', 'Osc2 Octave=1',
                     'Osc3 Type=Sin', 'Osc3 Level=-96', 'Osc1 Type=Breaker', 'Filter LP Env Depth=0.5',
                     'Filter Env Sustain=0.5'],
                 notes: [[50, 127, 0, 0.3]] });
    cases.push({ name: 'held, library waveforms and noise', seed: 99,
                 settings: [...settling, 'Osc1 Type=Sin', 'Osc2 Type=Whistle', 'Osc2 Level=-6',
                     'Osc3 Type=Tan', 'Osc3 Level=-12', 'White Level=-24', 'Pink Level=-24'],
                 notes: [[62, 127, 0, 0.25], [45, 100, 0.35, 0.2]] });
    return cases;
}

function renderArgs({ rate, length, seed, notes }) {
    const args = [];
    if (rate !== undefined)
        args.push('--rate', String(rate));
    if (length !== undefined)
        args.push('--length', String(length));
    if (seed !== undefined)
        args.push('--seed', String(seed));
    for (const [note, velocity, start, duration] of notes ?? [])
        args.push('--note', `${note}:${velocity}:${start}:${duration}`);
    return args;
}

function renderOptions({ rate, length, seed, notes }) {
    return { rate, length, seed,
             notes: (notes ?? []).map(([note, velocity, start, duration]) => ({ note, velocity, start, duration })) };
}

// The state the native build makes of the settings, as a code.
function nativeCode(settings) {
    return withTempFolder((folder) => {
        const state = join(folder, 'sound.state');
        run(['render', ...settings.flatMap((s) => ['--set', s]), '--length', '0.001', '--state-out', state,
             '-o', join(folder, 'unused.wav')]);
        return run(['share', state]).trim();
    });
}

function stateBytes(code) {
    return Buffer.from(code.slice('bfs1:'.length), 'base64').subarray(0, 484);
}

// The values a code carries, as the bytes say.
function codeValues(code) {
    const bytes = stateBytes(code);
    return Array.from({ length: 60 }, (_, i) => bytes.readDoubleLE(4 + 8 * i));
}

function sameBits(a, b) {
    return a.length === b.length && a.every((x, i) => Object.is(x, b[i]));
}

export function compareReferenceCases(bf) {
    return referenceCases().map((c) => {
        const code = nativeCode(c.settings ?? []);
        const opened = bf.parse(code);
        return {
            name: c.name,
            sameValues: opened.code === code && sameBits(opened.values, codeValues(code)),
            ...difference(bf.render(code, renderOptions(c)), nativeRender(['--state', code, ...renderArgs(c)])),
        };
    });
}

// A small seeded generator, so that every run draws the same patches.
function mulberry32(seed) {
    let a = seed >>> 0;
    return () => {
        a = (a + 0x6D2B79F5) >>> 0;
        let t = a;
        t = Math.imul(t ^ (t >>> 15), t | 1);
        t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
        return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
    };
}

const patchRates = [8000, 22050, 44100, 48000, 96000];

// Every parameter drawn across its range (lists by their entries), so that
// every source, the crusher in each position and the compression all play.
export function randomPatch(params, seed) {
    const draw = mulberry32(seed);
    const values = params.map((p) => {
        if (p.texts.length > 0)
            return p.texts[Math.floor(draw() * p.texts.length)].value;
        const value = p.min + draw() * (p.max - p.min);
        return p.whole ? Math.round(value) : value;
    });
    return { values, rate: patchRates[seed % patchRates.length], seed, length: 0.25,
             notes: [[36 + Math.floor(draw() * 48), 1 + Math.floor(draw() * 127), 0, 0.15]] };
}

export function compareRandomPatches(bf, count) {
    const params = bf.params();
    const results = [];
    for (let seed = 0; seed < count; ++seed) {
        const patch = randomPatch(params, seed);
        const code = bf.fromValues(patch.values).code;
        results.push({ seed, rate: patch.rate,
                       ...difference(bf.render(code, renderOptions(patch)),
                                     nativeRender(['--state', code, ...renderArgs(patch)])) });
    }
    return results;
}

export const kinds = ['pickup', 'shoot', 'powerup', 'hit', 'jump', 'blip', 'slash', 'random', 'mutate', 'reset'];

// Per kind, how many of the seeds' states the module makes bit for bit as the
// command line's generate does.
export function compareGeneratedStates(bf, seeds) {
    return kinds.map((kind) => withTempFolder((folder) => {
        run(['generate', kind, '--seed', '0', '--count', String(seeds), '--length', '0.001',
             '-o', join(folder, '%03d.wav'), '--state-out', join(folder, '%03d.state')]);
        let identical = 0;
        for (let seed = 0; seed < seeds; ++seed) {
            const native = readFileSync(join(folder, `${String(seed).padStart(3, '0')}.state`));
            if (native.equals(stateBytes(bf.generate(kind, { seed }).code)))
                ++identical;
        }
        return { kind, identical, of: seeds };
    }));
}

export function largestOf(results) {
    return results.reduce((worst, r) => ({ largest: Math.max(worst.largest, r.largest),
                                           differing: worst.differing + r.differing }),
                          { largest: 0, differing: 0 });
}
