// Layered sounds through the package's full entry, against the native
// command line's `render --layers`: the same file bytes for the same text and
// options, and the same refusals, naming the line.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { Bleepforge } from '../../build/web/bleepforge-node.mjs';
import { Bleepforge as Runtime } from '../../build/web/bleepforge-runtime-node.mjs';
import { cli, run, withTempFolder } from './native.mjs';

const bf = await Bleepforge.load();
const coin = bf.generate('coin', { seed: 5 }).code;

const EXPLOSION = `version = 1
[[layer]]
kind = "hit"
seed = 0
gain = -3

[[layer]]
kind = "shoot"
seed = 1
start = 0.01
notes = ["48:127:0:0.5"]

[[layer]]
kind = "hit"
seed = 2
start = 0.25
gain = -12
pan = 0.35
notes = ["79:100:0:0.02"]
repeat = { count = 6, interval = 0.09, gain = -2.5, transpose = -3 }
`;

const ARPEGGIO = `version = 1
[[layer]]
sound = "${coin}"
seed = 9
pattern = "C5 E5 - G5 C6"
step = 0.06
pan = -1
[[layer]]
kind = "blip"
seed = 4
notes = ["72:90:0:0.1", "84:127:0.15:0.05"]
repeat = { count = 16, interval = 0.02, gain = -3, transpose = 1 }
pan = 1
`;

const SOLO = `version = 1
[[layer]]
kind = "jump"
seed = 1
solo = true
[[layer]]
kind = "hit"
seed = 2
[[layer]]
kind = "pickup"
seed = 3
mute = true
solo = true
start = 0.05
`;

// The file the command line writes for the text with these arguments.
function nativeFile(text, args) {
    return withTempFolder((folder) => {
        const layers = join(folder, 'sound.toml');
        const out = join(folder, 'out.wav');
        writeFileSync(layers, text);
        run(['render', '--layers', layers, ...args, '-o', out]);
        return readFileSync(out);
    });
}

test('a layered text or code makes the file `render --layers` makes, byte for byte', () => {
    const cases = [
        ['layers, repeats, pan', EXPLOSION, {}, []],
        ['a pattern, a sound, 16 repeats, one channel', ARPEGGIO, { channels: 1 }, ['--channels', '1']],
        ['solo and mute, another rate, odd block', SOLO, { rate: 22050, block: 37 },
         ['--rate', '22050', '--block', '37']],
        ['normalised to a peak', EXPLOSION, { normalize: 'peak:-1' }, ['--normalize', 'peak:-1']],
        ['normalised by loudness, a length', ARPEGGIO, { normalize: 'lufs:-16', length: 0.7 },
         ['--normalize', 'lufs:-16', '--length', '0.7']],
    ];
    for (const [what, text, options, args] of cases) {
        for (const format of ['pcm16', 'float']) {
            const theirs = nativeFile(text, [...args, '--format', format]);
            assert.deepEqual(Buffer.from(bf.wav(text, { ...options, format })), theirs, `${what}, ${format}`);
        }
    }
    // The code and the object layered() answers are the same sound as the text.
    const layered = bf.layered(EXPLOSION);
    assert.equal(layered.layers, 3);
    const fromText = bf.render(EXPLOSION);
    assert.deepEqual(bf.render(layered.code), fromText);
    assert.deepEqual(bf.render(layered), fromText);
    assert.deepEqual(bf.render(bf.layered(layered.text)), fromText);
    // Its code alone writes the same file.
    const theirs = nativeFile(EXPLOSION, ['--format', 'float']);
    assert.deepEqual(Buffer.from(bf.wav(layered.code, { format: 'float' })), theirs);
});

test('a code of any length is carried as the command line carries it', () => {
    // The file's sound chunk is padded to four bytes, with no NUL when the
    // code fills them: find codes of each length modulo 4 there is (base64
    // without padding has three).
    const byRemainder = new Map();
    for (let gain = 0; byRemainder.size < 3 && gain < 40; ++gain) {
        const text = SOLO.replace('seed = 2', `seed = 2\ngain = -${gain}.25`);
        byRemainder.set(bf.layered(text).code.length % 4, text);
    }
    assert.ok(byRemainder.has(0) && byRemainder.size === 3);
    for (const [remainder, text] of byRemainder)
        assert.deepEqual(Buffer.from(bf.wav(text)), nativeFile(text, []), `length ${remainder} modulo 4`);
});

test('renderAsync and wavAsync give a layered sound what render and wav give', async () => {
    assert.deepEqual(await bf.renderAsync(ARPEGGIO, { rate: 48000 }), bf.render(ARPEGGIO, { rate: 48000 }));
    assert.deepEqual(await bf.wavAsync(bf.layered(SOLO)), bf.wav(SOLO));
});

// The command line's refusal of the text, with the file named as the package names a text.
function nativeRefusal(text) {
    return withTempFolder((folder) => {
        const layers = join(folder, 'sound.toml');
        writeFileSync(layers, text);
        try {
            execFileSync(cli, ['render', '--layers', layers, '-o', join(folder, 'out.wav')],
                         { stdio: ['ignore', 'pipe', 'pipe'] });
        } catch (error) {
            return error.stderr.toString().trim().replace(/^bleepforge: /, '').replaceAll(layers, 'layers');
        }
        assert.fail('the command line took it');
    });
}

test('hostile layered texts are refused as the command line refuses them, naming the line', () => {
    const layer = (lines) => `version = 1\n[[layer]]\nkind = "hit"\nseed = 1\n${lines}\n`;
    const hostile = {
        'no layers': 'version = 1\n',
        'no version': '[[layer]]\nkind = "hit"\nseed = 1\n',
        'a newer version': 'version = 2\n[[layer]]\nkind = "hit"\nseed = 1\n',
        'seventeen layers': 'version = 1\n' + '[[layer]]\nkind = "hit"\nseed = 1\n'.repeat(17),
        'a huge repeat': layer('repeat = { count = 100000000, interval = 0.1 }'),
        'NaN gain': layer('gain = nan'),
        'infinite start': layer('start = inf'),
        'pan past the right': layer('pan = 1.5'),
        'a note past 127': layer('notes = ["128:127:0:0.1"]'),
        'a pattern without a step': layer('pattern = "C5 E5"'),
        'an unknown key': layer('gian = -3'),
        'a layered code as a layer': `version = 1\n[[layer]]\nsound = "${bf.layered(SOLO).code}"\nseed = 1\n`,
        'a damaged sound': layer('').replace('kind = "hit"', `sound = "${coin.slice(0, -6)}AAAAAA"`),
        'not TOML': 'version = 1\n[[layer]\n',
    };
    for (const [what, text] of Object.entries(hostile)) {
        const expected = nativeRefusal(text);
        assert.throws(() => bf.render(text), (error) => {
            assert.equal(error.message, expected, what);
            return true;
        }, what);
    }
    // A recipe is a file, which the module does not read: even the layered
    // text itself, which the command line refuses as nesting.
    const itself = layer('').replace('kind = "hit"', 'recipe = "sound.toml"');
    assert.match(nativeRefusal(itself), /^layers:3: .*layered sounds do not nest/);
    assert.throws(() => bf.render(itself), /^Error: layers:3: cannot read the recipe/);
    // A damaged code: the checksum finds it.
    const code = bf.layered(EXPLOSION).code;
    const damaged = code.slice(0, 20) + (code[20] === 'A' ? 'B' : 'A') + code.slice(21);
    assert.throws(() => bf.render(damaged), /damaged|checksum/);
    assert.throws(() => bf.layered(42), TypeError);
});

test('the options a layered sound cannot take are refused, and the runtime says it has no layers', async () => {
    assert.throws(() => bf.render(EXPLOSION, { seed: 1 }), /seed, notes: the layers of a layered sound have their own/);
    assert.throws(() => bf.wav(EXPLOSION, { notes: [{ note: 60 }] }), /their own sounds, notes and seeds/);
    assert.throws(() => bf.render(EXPLOSION, { channels: 3 }), RangeError);
    assert.throws(() => bf.render(EXPLOSION, { length: 4000 }), /length: expected seconds/);
    const runtime = await Runtime.load();
    assert.throws(() => runtime.render(EXPLOSION), /need the full entry 'bleepforge'/);
});

test('a player of a layered sound varies every layer, repeats for its seed and plays what render gives', async () => {
    const source = { sound: EXPLOSION, mutation: 5, pitch: 2 };
    const plays = async (seed, count) => {
        const player = bf.player(source, { seed });
        const made = [];
        for (let i = 0; i < count; ++i)
            made.push(await player.next());
        player.close();
        return made;
    };
    const first = await plays(7, 4);
    const codes = first.map((play) => play.sound.code);
    assert.deepEqual((await plays(7, 4)).map((play) => play.sound.code), codes);
    assert.notDeepEqual((await plays(8, 4)).map((play) => play.sound.code), codes);
    assert.equal(new Set(codes).size, 4);
    const base = bf.layered(EXPLOSION);
    for (const play of first) {
        assert.equal(play.sound.layers, 3);
        assert.notEqual(play.sound.code, base.code);
        assert.deepEqual(play.channels, bf.render(play.sound.code));
    }
    // A play is a layered sound the command line renders the same.
    const theirs = nativeFile(first[2].sound.text, ['--format', 'float']);
    assert.deepEqual(Buffer.from(bf.wav(first[2].sound, { format: 'float' })), theirs);

    assert.throws(() => bf.player({ sound: EXPLOSION, kind: 'hit', mutation: 5 }), /give no kind or recipe/);
    assert.throws(() => bf.player(EXPLOSION), /same sound whatever is drawn/);
    assert.throws(() => bf.player({ sound: EXPLOSION, mutation: 5, lock: ['nosuch'] }), /nosuch/);
});

test('createNode makes a layered sound one buffer to play, rendered at the context\'s rate', async () => {
    // Node has no Web Audio: the two classes createNode makes, holding what they are given.
    globalThis.AudioBuffer = class {
        constructor({ numberOfChannels, length, sampleRate }) {
            this.sampleRate = sampleRate;
            this.channels = Array.from({ length: numberOfChannels }, () => new Float32Array(length));
        }
        copyToChannel(samples, channel) {
            this.channels[channel].set(samples);
        }
    };
    globalThis.AudioBufferSourceNode = class {
        constructor(context, { buffer }) {
            Object.assign(this, { context, buffer });
        }
    };
    try {
        const context = { sampleRate: 48000 };
        const node = await bf.createNode(context, { sound: bf.layered(ARPEGGIO) });
        assert.equal(node.buffer.sampleRate, 48000);
        assert.deepEqual(node.buffer.channels, bf.render(ARPEGGIO, { rate: 48000 }));
        await assert.rejects(bf.createNode(context, { sound: ARPEGGIO, seed: 3 }), /their own sounds, notes and seeds/);
        await assert.rejects(bf.createNode(context, { sound: 'version = 1\n' }), /layers:1: no layers/);
    } finally {
        delete globalThis.AudioBuffer;
        delete globalThis.AudioBufferSourceNode;
    }
});
