// The module through its JavaScript API, against the native command line.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, writeFileSync } from 'node:fs';
import { join, relative } from 'node:path';
import { pathToFileURL } from 'node:url';
import { Bleepforge } from '../../build/web/bleepforge-node.mjs';
import { difference, nativeRender, run, webBuild, withTempFolder } from './native.mjs';

const bf = await Bleepforge.load();

function crc32(bytes) {
    let c = 0xFFFFFFFF;
    for (const byte of bytes) {
        c ^= byte;
        for (let bit = 0; bit < 8; ++bit)
            c = (c >>> 1) ^ (0xEDB88320 & -(c & 1));
    }
    return (c ^ 0xFFFFFFFF) >>> 0;
}

// A code whose checksum is right around a state edited by `edit`.
function resealed(code, edit) {
    const payload = Buffer.from(code.slice('bfs1:'.length), 'base64');
    const state = payload.subarray(0, payload.length - 4);
    edit(new DataView(state.buffer, state.byteOffset, state.length));
    payload.writeUInt32BE(crc32(state), state.length);
    return 'bfs1:' + payload.toString('base64');
}

test('a code renders the samples the command line renders', async (t) => {
    const coin = bf.generate('coin', { seed: 11 });
    const laser = bf.generate('laser', { seed: 12 });
    const slash = bf.generate('slash', { seed: 7 }); // white noise
    // Seeded throughout: without a seed the noise is drawn from the clock.
    const cases = [
        ['a generated sound, its own note', coin, { seed: 1 }, ['--seed', '1']],
        ['noise, another rate', slash, { seed: 5, rate: 22050 }, ['--seed', '5', '--rate', '22050']],
        ['notes and a length, odd block', coin,
         { seed: 2, notes: [{ note: 48, velocity: 90, start: 0, duration: 0.1 }, { note: 67, start: 0.05 }],
           length: 0.4, block: 100 },
         ['--seed', '2', '--note', '48:90:0:0.1', '--note', '67:127:0.05', '--length', '0.4', '--block', '100']],
        ['one channel is the mean of two', laser, { seed: 3, channels: 1 }, ['--seed', '3', '--channels', '1']],
    ];
    for (const [name, sound, options, args] of cases) {
        await t.test(name, () => {
            const native = nativeRender(['--state', sound.code, ...args]);
            assert.deepEqual(difference(bf.render(sound, options), native), { largest: 0, differing: 0 });
        });
    }
});

test('hostile codes and options are refused with the reason', () => {
    const good = bf.generate('blip', { seed: 3 }).code;
    const refusals = [
        ['', /must start with "bfs1:"/],
        ['bfs9:' + good.slice(5), /newer than this bleepforge reads/],
        [good.slice(0, -8), /holds \d+ bytes|not base64/],
        [good.slice(0, 40) + (good[40] === 'A' ? 'B' : 'A') + good.slice(41), /checksum does not match/],
        [good.slice(0, 5) + '!'.repeat(good.length - 5), /not base64/],
        ['bfs1:' + 'A'.repeat(4 * 1024 * 1024), /holds \d+ bytes/],
        [resealed(good, (state) => state.setFloat64(4 + 8 * 7, NaN, true)), /not a finite number/],
    ];
    for (const [code, reason] of refusals) {
        assert.throws(() => bf.parse(code), reason);
        assert.throws(() => bf.render(code), reason);
    }
    assert.throws(() => bf.parse(42), TypeError);
    assert.throws(() => bf.generate('explosion', { seed: 1 }), /kind 'explosion': expected pickup, shoot/);
    for (const kind of ['__proto__', 'constructor', 'valueof'])
        assert.throws(() => bf.generate(kind, { seed: 1 }), new RegExp(`^RangeError: kind '${kind}': expected`));
    assert.throws(() => bf.generate('coin', { seed: -1 }), /seed: expected a whole number/);
    assert.throws(() => bf.render(good, { rate: 44100.5 }), /^RangeError: rate: expected a whole number/);
    for (const note of [{ note: 200 }, { note: 1e300 }, { note: 60.5 }, { velocity: 0 }, { start: NaN },
                        { start: 1e300 }, { duration: -1 }])
        assert.throws(() => bf.render(good, { notes: [note] }), /a note is a whole 0 \.\.\. 127/);
    for (const length of [0, -2, NaN, 1e300])
        assert.throws(() => bf.render(good, { length }), /length: expected seconds/);
    assert.throws(() => bf.render(good, { length: 3600, rate: 384000 }), /length: at most 174 s at this rate/);
    assert.throws(() => bf.render(good, { channels: 3 }), /channels: expected a whole number 1 \.\.\. 2/);
    assert.throws(() => bf.render(good, { block: 1e20 }), /block: expected a whole number 1 \.\.\. 8192/);
    assert.throws(() => bf.render(good, { note: 60 }), /unknown option 'note'/);
    assert.throws(() => bf.render(good, { notes: 60 }), /notes: expected a list/);
    // A seed given in place of the options, or misspelt, would give a sound of the clock's.
    assert.throws(() => bf.generate('coin', 7), /expected the options as an object/);
    assert.throws(() => bf.generate('coin', { Seed: 7 }), /unknown option 'Seed'/);
    assert.throws(() => bf.fromValues([1, 2, 3]), /expected 60 values, not 3/);
    // A fraction where a whole number plays is refused, never cut to the number below.
    const whole = bf.params().findIndex((p) => p.whole || p.texts.length > 0);
    const fraction = bf.parse(bf.generate('coin', { seed: 1 }).code).values.map((v, i) => (i === whole ? 1.5 : v));
    assert.throws(() => bf.fromValues(fraction), /'[^']+': 1\.5 is not a whole number/);
    // A refusal leaves the module working.
    assert.equal(bf.parse(good).code, good);
});

test('a misspelt or unknown name wherever the package takes named values is refused, naming it and the known ones',
     async () => {
    const good = bf.generate('blip', { seed: 3 }).code;
    const noteKeys = /\(known: note, velocity, start, duration\)/;
    for (const call of [(options) => bf.render(good, options), (options) => bf.wav(good, options)]) {
        assert.throws(() => call({ notes: [{ note: 60, velocty: 100 }] }), /^RangeError: notes\[0\]: unknown key 'velocty'/);
        assert.throws(() => call({ notes: [{ note: 60 }, { Note: 60 }] }), noteKeys);
        assert.throws(() => call({ notes: [60] }), /notes\[0\]: expected a note such as \{ note: 60 \}/);
        assert.throws(() => call({ notes: [null] }), /notes\[0\]: expected a note/);
    }
    assert.throws(() => bf.wav(good, { fromat: 'float' }), /unknown option 'fromat' \(known: rate, .*format, comment\)/);
    await assert.rejects(Bleepforge.load({ wsam: 'bleepforge-core.wasm' }), /unknown option 'wsam' \(known: wasm\)/);
    await assert.rejects(Bleepforge.load(null), /expected the options as an object/);
    // Refused before a node is made: the context is never reached.
    const context = {};
    for (const [note, reason] of [
        [{ type: 'noteOn', note: 60, velocty: 100 }, /notes\[0\]: noteOn: unknown key 'velocty' \(known: type, note, velocity, frame\)/],
        [{ note: 60 }, /notes\[0\]: expected type 'noteOn' or 'noteOff'/],
        [{ type: 'noteOn', note: 600 }, /notes\[0\]: noteOn: the note must be a whole 0 \.\.\. 127, not 600/],
    ])
        await assert.rejects(bf.createNode(context, { notes: [note] }), reason);
});

test("refusals name the package's options, never the command line's flags, and quote what was given short", () => {
    const good = bf.generate('blip', { seed: 3 }).code;
    const huge = 'x'.repeat(2 * 1024 * 1024);
    const refusals = [
        [{ rate: 100 }, /^rate: expected a whole number of Hz, 1000 \.\.\. 384000$/],
        [{ rate: 1000, length: 0.0001 }, /^length: shorter than one frame at this rate$/],
        [{ normalize: 'peak:3' }, /^normalize 'peak:3': the level must be a number -60 \.\.\. 0$/],
        [{ normalize: 'loud' }, /^normalize 'loud': expected peak\[:DBFS\] or lufs\[:LUFS\]$/],
        [{ normalize: huge }, /^normalize 'x{40}…': expected/],
    ];
    for (const [options, reason] of refusals) {
        for (const call of [() => bf.render(good, options), () => bf.wav(good, options)]) {
            assert.throws(call, (error) => {
                assert.ok(error instanceof RangeError, error);
                assert.match(error.message, reason);
                return true;
            });
        }
    }
    assert.throws(() => bf.generate(huge), (error) => error.message.length < 200 && /^kind 'x{40}…'/.test(error.message));
    assert.throws(() => bf.parseState(new Uint8Array(3), huge), /^Error: 'x{40}…' is not a complete state/);
    assert.throws(() => bf.render(good, { [huge]: 1 }), (error) => error.message.length < 200);
    // A character outside the first plane is never cut in half.
    assert.throws(() => bf.generate('\u{1F3B5}'.repeat(50)), new RegExp(`^RangeError: kind '${'\u{1F3B5}'.repeat(40)}…'`, 'u'));
});

test('load() takes the .wasm as a path, absolute or relative, or as a file: URL, in Node', async () => {
    const wasm = join(webBuild, 'bleepforge-core.wasm');
    const code = bf.generate('coin', { seed: 7 }).code;
    for (const given of [wasm, relative(process.cwd(), wasm), pathToFileURL(wasm).href, pathToFileURL(wasm)]) {
        const loaded = await Bleepforge.load({ wasm: given });
        assert.equal(loaded.generate('coin', { seed: 7 }).code, code, String(given));
    }
    await assert.rejects(Bleepforge.load({ wasm: join(webBuild, 'missing.wasm') }), /no such file.*missing\.wasm/);
});

test('a node for a sound that is no sound is refused before it plays', async () => {
    const context = {}; // never reached: each refusal comes first
    await assert.rejects(bf.createNode(context, { sound: 'nope' }), /must start with "bfs1:"/);
    await assert.rejects(bf.createNode(context, { sound: 'bfs1:AAAA' }), /holds \d+ bytes/);
    await assert.rejects(bf.createNode(context, { snd: 'bfs1:AAAA' }), /unknown option 'snd'/);
    await assert.rejects(bf.createNode(context, { notes: 60 }), /notes: expected a list/);
});

test("wav() writes the bytes of the command line's file, which libsndfile reads back as the sound", () => {
    withTempFolder((folder) => {
        const generated = bf.generate('powerup', { seed: 21 });
        const opened = bf.parse(generated.code);
        for (const [format, channels] of [['pcm16', 2], ['float', 2], ['pcm16', 1], ['float', 1], ['pcm24', 2],
                                          ['pcm24', 1]]) {
            const ours = join(folder, `${format}-${channels}.wav`), theirs = join(folder, 'native.wav');
            writeFileSync(ours, bf.wav(opened, { format, channels, seed: 4 }));
            run(['render', '--state', opened.code, '--seed', '4', '--format', format, '--channels', String(channels),
                 '-o', theirs]);
            assert.ok(readFileSync(ours).equals(readFileSync(theirs)), `${format}, ${channels} channel(s)`);
        }
        const named = join(folder, 'generated.wav');
        writeFileSync(named, bf.wav(generated, { rate: 48000 }));
        assert.equal(run(['share', named]).trim(), generated.code);
        assert.match(run(['show', named]), /--set "Osc1 Type=/);
        assert.deepEqual(bf.parseWav(readFileSync(named)).values, generated.values);
    });
});

test('parseWav() says apart what kind of refusal it makes', () => {
    const wav = bf.wav(bf.generate('blip', { seed: 2 }));
    const riff = (body) => Buffer.concat([Buffer.from('RIFF'), Buffer.from([body.length, 0, 0, 0]), body]);
    const damaged = Buffer.from(wav);
    const at = damaged.indexOf('bfs1:', damaged.indexOf('bfst')) + 20;
    damaged[at] = damaged[at] === 65 ? 66 : 65;
    for (const [what, bytes, reason] of [
        ['text', Buffer.from('hello'), 'not-wav'],
        ['a cut file', wav.subarray(0, 60), 'not-wav'],
        ['a WAV without a sound', riff(Buffer.concat([Buffer.from('WAVEdata'), Buffer.alloc(4)])), 'no-sound'],
        ['a layered sound', bf.wav(bf.layered('version = 1\n[[layer]]\nkind = "hit"\nseed = 0\n')), 'layered'],
        ['a damaged sound', damaged, undefined]])
        assert.throws(() => bf.parseWav(bytes), (error) => error.reason === reason, what);
});

// The whole numbers of a pcm16 or pcm24 WAV's data chunk, interleaved.
function storedIntegers(bytes, width) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    for (let at = 12; at + 8 <= bytes.length;) {
        const size = view.getUint32(at + 4, true);
        if (String.fromCharCode(...bytes.subarray(at, at + 4)) === 'data') {
            const values = [];
            for (let i = at + 8; i + width <= at + 8 + size; i += width)
                values.push(width === 2 ? view.getInt16(i, true) : view.getInt8(i + 2) * 65536 + view.getUint16(i, true));
            return values;
        }
        at += 8 + size + (size & 1);
    }
    throw new Error('no data chunk');
}

// Each sample's nearest whole step, an exact half to the even one.
function nearestSteps(channels, bits) {
    const top = 2 ** (bits - 1), values = [];
    for (let i = 0; i < channels[0].length; ++i)
        for (const channel of channels) {
            const scaled = Math.min(Math.max(channel[i] * top, -top), top - 1);
            const floor = Math.floor(scaled), rest = scaled - floor;
            values.push(rest > 0.5 || (rest === 0.5 && floor % 2 !== 0) ? floor + 1 : floor);
        }
    return values;
}

test("wav() stores each sample's nearest step, as the command line's file does, for twenty sounds", () => {
    withTempFolder((folder) => {
        const kinds = ['pickup', 'shoot', 'powerup', 'hit', 'jump', 'blip', 'slash', 'random'];
        for (let i = 0; i < 20; ++i) {
            const kind = kinds[i % kinds.length], format = i % 5 === 4 ? 'pcm24' : 'pcm16';
            const what = `${kind}, seed ${i}, ${format}`;
            const theirs = join(folder, `${i}.wav`);
            const sound = bf.parse(bf.generate(kind, { seed: i }).code);
            run(['render', '--state', sound.code, '--seed', String(i), '--format', format, '-o', theirs]);
            const ours = bf.wav(sound, { seed: i, format });
            assert.ok(Buffer.from(ours).equals(readFileSync(theirs)), what);
            const bits = format === 'pcm16' ? 16 : 24;
            assert.deepEqual(storedIntegers(ours, bits / 8), nearestSteps(bf.render(sound, { seed: i }), bits), what);
        }
    });
});

test('parseState() reads the state files the command line writes and refuses damaged ones', () => {
    withTempFolder((folder) => {
        const generated = bf.generate('jump', { seed: 8 });
        const file = join(folder, 'jump.state');
        run(['generate', 'jump', '--seed', '8', '--state-out', file, '-o', join(folder, 'jump.wav')]);
        const state = readFileSync(file);
        assert.equal(bf.parseState(state).code, generated.code);
        // The size and the prefix the module gives the page are the command line's.
        assert.equal(state.length, bf.core.stateBytes);
        const shared = run(['share', file]).trim();
        assert.equal(shared, generated.code);
        assert.ok(shared.startsWith(bf.core.codePrefix) && bf.core.codePrefix.endsWith(':'), bf.core.codePrefix);
        assert.equal(bf.parseState(state.buffer.slice(state.byteOffset, state.byteOffset + state.length)).code,
                     generated.code);
        assert.throws(() => bf.parseState(state.subarray(1), 'a.state'),
                      /^Error: 'a.state' is not a complete state \(483 bytes, expected 484\)$/);
        assert.throws(() => bf.parseState(Buffer.concat([state, Buffer.alloc(1)])), /485 bytes/);
        const damaged = Buffer.from(state);
        damaged.writeDoubleLE(NaN, 4 + 8 * 5);
        assert.throws(() => bf.parseState(damaged), /^Error: the file holds a value that is not a finite number \(parameter 5\)$/);
        assert.throws(() => bf.parseState('bfs1:'), /expected a state file's bytes/);
    });
});

test('params() lists the 60 parameters with ranges and units', () => {
    const params = bf.params();
    assert.equal(params.length, 60);
    const listed = run(['params']).trim().split('\n');
    params.forEach((p, i) => {
        assert.ok(listed[i].startsWith(`${i}\t${p.name}\t`), listed[i]);
        assert.ok(p.min <= p.default && p.default <= p.max, p.name);
        if (p.unit)
            assert.ok(listed[i].includes(`\tunit ${p.unit}`), p.name);
    });
});
