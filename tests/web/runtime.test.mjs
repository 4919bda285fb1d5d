// The runtime a game ships is built apart from the page's module, small: its
// every call must give what the fuller module gives, byte for byte, and its
// worklet must play what the fuller one plays.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { Bleepforge as Full } from '../../build/web/bleepforge-node.mjs';
import { Bleepforge as Runtime } from '../../build/web/bleepforge-runtime-node.mjs';
import { webBuild } from './native.mjs';

const full = await Full.load();
const runtime = await Runtime.load();
const kinds = ['pickup', 'shoot', 'powerup', 'hit', 'jump', 'blip', 'slash', 'random'];

const bytesOf = (channels) => channels.map((channel) => Buffer.from(channel.buffer));

test('generate, parse, fromValues, render and wav give the same bytes in both modules', () => {
    for (const kind of kinds) {
        for (const seed of [0, 1, 77, 4294967295]) {
            const sound = full.generate(kind, { seed });
            assert.deepEqual(runtime.generate(kind, { seed }), sound);
            assert.deepEqual(runtime.parse(sound.code), full.parse(sound.code));
            assert.deepEqual(runtime.fromValues(sound.values), full.fromValues(sound.values));
            for (const options of [{ seed }, { seed, rate: 22050, channels: 1, block: 37 },
                                   { seed, normalize: 'lufs:-14' }, { seed, normalize: 'peak' },
                                   { seed, notes: [{ note: 48, velocity: 90, start: 0.01, duration: 0.2 }] }])
                assert.deepEqual(bytesOf(runtime.render(sound, options)), bytesOf(full.render(sound, options)),
                                 `${kind} ${seed} ${JSON.stringify(options)}`);
            for (const format of ['pcm16', 'pcm24', 'float'])
                assert.deepEqual(runtime.wav(sound, { seed, format }), full.wav(sound, { seed, format }));
        }
    }
    assert.deepEqual(runtime.params(), full.params());
});

test('refusals read the same in both modules', () => {
    const code = full.generate('coin', { seed: 3 }).code;
    const damaged = code.slice(0, 20) + (code[20] === 'A' ? 'B' : 'A') + code.slice(21);
    const calls = [
        (bf) => bf.parse(damaged),
        (bf) => bf.generate('coins'),
        (bf) => bf.render(code, { rate: 10 }),
        (bf) => bf.render(code, { normalize: 'loud' }),
        (bf) => bf.fromValues(full.parse(code).values.map(() => 1e9)),
        (bf) => bf.parseState(new Uint8Array(100), 'x.state'),
        // Texts and bytes beyond ASCII, there and back.
        (bf) => bf.render(code, { normalize: 'lüfs:-14 ♪' }),
        (bf) => bf.generate('pïckup'),
        (bf) => bf.parseState(new Uint8Array(484).fill(0xff), 'sön.state'),
        (bf) => bf.player({ kind: 'coin', lock: ['ösc1'] }),
    ];
    for (const call of calls) {
        const said = (bf) => { try { call(bf); return 'no refusal'; } catch (error) { return String(error); } };
        assert.notEqual(said(full), 'no refusal');
        assert.equal(said(runtime), said(full));
    }
});

// The two worklets in the few globals an AudioWorkletGlobalScope gives.
async function processorOf(file) {
    let processor;
    globalThis.AudioWorkletProcessor = class {
        constructor() {
            this.port = { postMessage: () => {}, onmessage: null };
        }
    };
    globalThis.registerProcessor = (name, registered) => { processor = registered; };
    globalThis.sampleRate = 48000;
    await import(join(webBuild, file));
    return processor;
}

test('the runtime worklet plays what the fuller one plays', async () => {
    const played = [];
    for (const [file, wasm] of [['bleepforge-worklet.js', 'bleepforge-core.wasm'],
                                ['bleepforge-runtime-worklet.js', 'bleepforge-runtime-core.wasm']]) {
        const Processor = await processorOf(file);
        const module = await WebAssembly.compile(readFileSync(join(webBuild, wasm)));
        globalThis.currentFrame = 0;
        const processor = new Processor({ processorOptions: {
            module, seed: 5, sound: full.generate('slash', { seed: 9 }).code,
            notes: [{ type: 'noteOn', note: 62, frame: 100 }, { type: 'noteOff', note: 62, frame: 9000 }] } });
        const out = [];
        for (let q = 0; q < 100; ++q, globalThis.currentFrame += 128) {
            const output = [new Float32Array(128), new Float32Array(128)];
            processor.process([], [output]);
            out.push(...output[0], ...output[1]);
        }
        played.push(Buffer.from(new Float32Array(out).buffer));
    }
    assert.ok(new Float32Array(played[0].buffer).some((x) => Math.abs(x) > 0.01));
    assert.deepEqual(played[1], played[0]);
});
