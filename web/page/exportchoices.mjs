// What Export writes: sample format, channels, rate and normalising, as last
// chosen (kept in localStorage), and the module's options that make it. The
// waveform strip shows the sound as these choices write it.

const kStoreKey = 'bleepforge.export';
export const kFormats = { pcm16: '16-bit', pcm24: '24-bit', float: '32-bit float' };
export const kRates = [22050, 32000, 44100, 48000, 88200, 96000];
// The command line's --normalize levels and their defaults.
export const kTargets = {
    peak: { min: -60, max: 0, default: -1, unit: 'dBFS' },
    lufs: { min: -70, max: 0, default: -16, unit: 'LUFS' },
};
// Seeded, so that a sound with noise exports as its picture shows it.
const kExportSeed = 1;

const kDefaultChoices = Object.freeze({
    format: 'pcm16', channels: 1, rate: 44100, normalize: 'none',
    peak: kTargets.peak.default, lufs: kTargets.lufs.default,
});

const listeners = [];

function within(value, { min, max }) {
    return typeof value === 'number' && value >= min && value <= max;
}

// Each choice kept if it is one of the choices, else its default: a store
// from another version or edited by hand never stops an export.
function checkedChoices(kept) {
    const choices = { ...kDefaultChoices };
    if (kept === null || typeof kept !== 'object')
        return choices;
    const valid = {
        format: Object.hasOwn(kFormats, kept.format),
        channels: kept.channels === 1 || kept.channels === 2,
        rate: kRates.includes(kept.rate),
        normalize: ['none', 'peak', 'lufs'].includes(kept.normalize),
        peak: within(kept.peak, kTargets.peak),
        lufs: within(kept.lufs, kTargets.lufs),
    };
    for (const [name, ok] of Object.entries(valid)) {
        if (ok)
            choices[name] = kept[name];
    }
    return choices;
}

function loadChoices() {
    try {
        return checkedChoices(JSON.parse(localStorage.getItem(kStoreKey)));
    } catch {
        return { ...kDefaultChoices };
    }
}

let current = null;

export function currentChoices() {
    current ??= loadChoices();
    return current;
}

// New choices, kept for the next visit and told to who follows them.
export function choose(choices) {
    current = checkedChoices(choices);
    try {
        localStorage.setItem(kStoreKey, JSON.stringify(current));
    } catch {
        // A browser that keeps nothing still exports; the choices last this visit.
    }
    for (const listener of listeners)
        listener(current);
}

export function onChoicesChanged(listener) {
    listeners.push(listener);
}

// The module's --normalize text for the choices, '' for none.
function normalizeOf(choices) {
    return choices.normalize === 'none' ? '' : `${choices.normalize}:${choices[choices.normalize]}`;
}

// Options for bf.render and bf.wav that make the export.
export function renderOptions(choices) {
    return { rate: choices.rate, channels: choices.channels, seed: kExportSeed, normalize: normalizeOf(choices) };
}

export function wavOptions(choices) {
    return { ...renderOptions(choices), format: choices.format };
}
