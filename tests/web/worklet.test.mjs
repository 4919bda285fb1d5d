// The worklet's processor, run quantum by quantum in Node with the few
// globals an AudioWorkletGlobalScope gives it: what it plays must be what
// bf.render gives for the same notes, parameters and sound.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { Bleepforge } from '../../build/web/bleepforge-node.mjs';
import { difference, webBuild } from './native.mjs';

const QUANTUM = 128;
const SEED = 17; // without one, the noise is the clock's
let Processor;
globalThis.AudioWorkletProcessor = class {
    constructor() {
        this.said = [];
        this.port = { postMessage: (message) => this.said.push(message), onmessage: null };
    }
};
globalThis.registerProcessor = (name, processor) => {
    assert.equal(name, 'bleepforge');
    Processor = processor;
};
globalThis.sampleRate = 44100;
await import(join(webBuild, 'bleepforge-worklet.js'));
const module = await WebAssembly.compile(readFileSync(join(webBuild, 'bleepforge-core.wasm')));
const bf = await Bleepforge.load();

// Plays `quanta` quanta; before each, `during` may send messages.
function play(options, quanta, during = () => {}) {
    globalThis.currentFrame = 0;
    const processor = new Processor({ processorOptions: { module, seed: SEED, ...options } });
    const left = new Float32Array(quanta * QUANTUM), right = new Float32Array(quanta * QUANTUM);
    for (let q = 0; q < quanta; ++q) {
        during(q, (message) => processor.port.onmessage({ data: message }));
        const output = [new Float32Array(QUANTUM), new Float32Array(QUANTUM)];
        assert.equal(processor.process([], [output]), true);
        left.set(output[0], q * QUANTUM);
        right.set(output[1], q * QUANTUM);
        globalThis.currentFrame += QUANTUM;
    }
    return { channels: [left, right], said: processor.said };
}

// A note of the render's that starts and ends on exactly these frames.
function noteOver(note, velocity, on, off) {
    const start = on / sampleRate, duration = (off - on) / sampleRate;
    assert.equal(Math.floor(start * sampleRate), on);
    assert.equal(Math.floor((start + duration) * sampleRate), off);
    return { note, velocity, start, duration };
}

const quanta = 120;
// Seconds the render turns into exactly these frames.
const secondsOf = (frames) => (frames + 0.5) / sampleRate;
const length = secondsOf(quanta * QUANTUM);

test('notes at frames inside quanta, given with the node or as messages, play as rendered', () => {
    const sound = bf.generate('slash', { seed: 4 }); // noise too
    const expected = bf.render(sound, { seed: SEED, length, notes: [noteOver(60, 127, 300, 5000), noteOver(67, 90, 4000, 9000)] });
    const given = play({ sound: sound.code, notes: [
        { type: 'noteOff', note: 60, frame: 5000 }, { type: 'noteOn', note: 60, velocity: 127, frame: 300 }] }, quanta,
        (q, send) => {
            if (q === 10) {
                send({ type: 'noteOff', note: 67, frame: 9000 });
                send({ type: 'noteOn', note: 67, velocity: 90, frame: 4000 });
            }
        });
    assert.deepEqual(given.said, []);
    assert.deepEqual(difference(given.channels, expected), { largest: 0, differing: 0 });
});

test('a parameter or a whole sound sent before playing is the sound rendered', () => {
    const first = bf.generate('blip', { seed: 1 }), second = bf.generate('hit', { seed: 2 });
    const notes = [{ type: 'noteOn', note: 64, velocity: 100, frame: 0 }, { type: 'noteOff', note: 64, frame: 6000 }];
    const rendered = (sound) => bf.render(sound, { seed: SEED, length, notes: [noteOver(64, 100, 0, 6000)] });

    const swapped = play({ sound: first.code, notes }, quanta, (q, send) => {
        if (q === 0)
            send({ type: 'sound', code: second.code });
    });
    assert.deepEqual(difference(swapped.channels, rendered(second)), { largest: 0, differing: 0 });

    const louder = [...first.values];
    louder[0] = first.values[0] + 3; // the output gain, in dB
    const changed = play({ sound: first.code, notes }, quanta, (q, send) => {
        if (q === 0)
            send({ type: 'param', index: 0, value: louder[0] });
    });
    assert.deepEqual(difference(changed.channels, rendered(bf.fromValues(louder))), { largest: 0, differing: 0 });
});

test('what the processor refuses leaves it playing the sound it had', () => {
    const sound = bf.generate('coin', { seed: 9 });
    const notes = [{ type: 'noteOn', note: 72, velocity: 127, frame: 0 }];
    const played = play({ sound: sound.code, notes }, 40, (q, send) => {
        if (q === 0) {
            const at = 40, flipped = sound.code[at] === 'A' ? 'B' : 'A';
            send({ type: 'sound', code: sound.code.slice(0, at) + flipped + sound.code.slice(at + 1) });
            send({ type: 'param', index: 999, value: 1 });
            send({ type: 'param', index: 0, value: NaN });
            send({ type: 'noteOn', note: 500, frame: 0 });
            send({ type: 'noteOn', note: 60, velocity: 0 });
            send({ type: 'noteOff', note: 60, frame: -1 });
            send({ type: 'volume' });
            send({ type: 'noteOn', note: 60, velocty: 1, frame: 0 });
            send({ type: 'param', index: 0, value: 1000 }); // the output gain, in dB
            send({ type: 'param', index: 1, value: -1 });  // the first oscillator's type
            send({ type: 'param', index: 1, value: 1.5 });
        }
    });
    const said = played.said.map((answer) => answer.message);
    assert.equal(said.length, 11);
    assert.match(said[0], /checksum does not match/);
    assert.match(said[1], /param: expected an index 0 \.\.\. 59/);
    assert.match(said[2], /not 0 and NaN/);
    assert.match(said[3], /the note must be a whole 0 \.\.\. 127, not 500/);
    assert.match(said[4], /the velocity must be a whole 1 \.\.\. 127, not 0/);
    assert.match(said[5], /the frame must be/);
    assert.match(said[6], /^unknown message type 'volume' \(known: noteOn, noteOff, param, sound, allNotesOff, levels\)$/);
    assert.equal(said[7], "noteOn: unknown key 'velocty' (known: type, note, velocity, frame)");
    assert.match(said[8], /^param: '[^']+' takes -?\d+ \.\.\. \d+ dB, not 1000; it stays as it was$/);
    assert.match(said[9], /^param: '[^']+' takes 0 \.\.\. \d+, not -1; it stays as it was$/);
    assert.equal(said[10], "param: 'Osc1 Type' takes whole numbers, not 1.5; it stays as it was");
    const expected = bf.render(sound, { seed: SEED, length: secondsOf(40 * QUANTUM), notes: [noteOver(72, 127, 0, 40 * QUANTUM)] });
    assert.deepEqual(difference(played.channels, expected), { largest: 0, differing: 0 });
});

test('the levels asked for follow what plays, and say when nothing sounds any more', () => {
    const sound = bf.generate('blip', { seed: 9 });
    const { said } = play({ sound: sound.code, notes: [
        { type: 'noteOn', note: 72, velocity: 127, frame: 2 * QUANTUM },
        { type: 'noteOff', note: 72, frame: 20 * QUANTUM }] }, 200, (q, send) => send({ type: 'levels' }));
    assert.ok(said.every((answer) => answer.type === 'levels'), JSON.stringify(said.find((a) => a.type !== 'levels')));
    // Asked before each quantum: the first answer is before any, with the note waiting.
    assert.deepEqual(said[0], { type: 'levels', left: 0, right: 0, sounding: true });
    const loudest = Math.max(...said.map((answer) => answer.left));
    assert.ok(loudest > 0.1, `the loudest level was ${loudest}`);
    assert.ok(said.every((answer) => answer.left === answer.right));
    const idle = said.findIndex((answer) => !answer.sounding);
    assert.ok(idle > 20 && said.slice(idle).every((answer) => !answer.sounding), `idle from quantum ${idle}`);
    assert.ok(said[idle].left < loudest / 10 && said.at(-1).left < said[idle].left);
});

test('a processor without the compiled module says so and stays silent', () => {
    const played = play({ module: undefined }, 2);
    assert.match(played.said[0].message, /expected the compiled bleepforge-core.wasm/);
    assert.ok(played.channels[0].every((s) => s === 0));
});

test('all notes off releases the held notes at once and drops the waiting ones', () => {
    const sound = bf.generate('laser', { seed: 3 });
    const stopAt = 10 * QUANTUM;
    const played = play({ sound: sound.code, notes: [
        { type: 'noteOn', note: 60, velocity: 127, frame: 0 }, { type: 'noteOn', note: 64, velocity: 127, frame: 0 },
        { type: 'noteOff', note: 60, frame: 20000 }, { type: 'noteOn', note: 67, velocity: 127, frame: 3000 }] }, quanta,
    (q, send) => {
        if (q === 10)
            send({ type: 'allNotesOff' });
    });
    assert.deepEqual(played.said, []);
    const expected = bf.render(sound, { seed: SEED, length,
                                        notes: [noteOver(60, 127, 0, stopAt), noteOver(64, 127, 0, stopAt)] });
    assert.deepEqual(difference(played.channels, expected), { largest: 0, differing: 0 });
});
