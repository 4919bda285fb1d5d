// Normalising in the module against the command line's --normalize: the same
// measure on the channels returned, the same gain, so the same samples.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { Bleepforge } from '../../build/web/bleepforge-node.mjs';
import { difference, nativeRender, run, withTempFolder } from './native.mjs';

const bf = await Bleepforge.load();

function peakOf(channels) {
    return channels.reduce((most, c) => c.reduce((m, x) => Math.max(m, Math.abs(x)), most), 0);
}

test('normalised renders equal the command line\'s, short and long, one channel and two', async (t) => {
    const coin = bf.generate('coin', { seed: 11 });
    const hit = bf.generate('hit', { seed: 5 }); // noise
    const long = [{ note: 48, velocity: 100, start: 0, duration: 0.9 }];
    const cases = [
        ['peak, stereo', coin, 'peak', {}, []],
        ['peak at -3, mono', coin, 'peak:-3', { channels: 1 }, ['--channels', '1']],
        ['peak, long noise, mono', hit, 'peak:-0.5', { channels: 1, notes: long, length: 1.5 },
         ['--channels', '1', '--note', '48:100:0:0.9', '--length', '1.5']],
        ['lufs, stereo', coin, 'lufs', {}, []],
        ['lufs, shorter than 400 ms: its one window', coin, 'lufs', { length: 0.25 }, ['--length', '0.25']],
        ['lufs at -14, shorter than 400 ms, mono', coin, 'lufs:-14', { channels: 1, length: 0.25 },
         ['--channels', '1', '--length', '0.25']],
        ['lufs, long noise, stereo', hit, 'lufs:-20', { notes: long, length: 1.5, rate: 48000 },
         ['--note', '48:100:0:0.9', '--length', '1.5', '--rate', '48000']],
        ['lufs, long, mono, loud enough for the true-peak ceiling', hit, 'lufs:-3',
         { channels: 1, notes: long, length: 1.5 }, ['--channels', '1', '--note', '48:100:0:0.9', '--length', '1.5']],
    ];
    for (const [name, sound, normalize, options, args] of cases) {
        await t.test(name, () => {
            const ours = bf.render(sound, { seed: 1, normalize, ...options });
            const native = nativeRender(['--state', sound.code, '--seed', '1', '--normalize', normalize, ...args]);
            assert.deepEqual(difference(ours, native), { largest: 0, differing: 0 });
            assert.notEqual(peakOf(ours), peakOf(bf.render(sound, { seed: 1, ...options })), 'not scaled');
        });
    }
});

test('peak normalising reaches the level asked on the channels returned', () => {
    const sound = bf.generate('laser', { seed: 4 });
    for (const channels of [1, 2]) {
        const peak = peakOf(bf.render(sound, { seed: 2, channels, normalize: 'peak:-6' }));
        assert.ok(Math.abs(20 * Math.log10(peak) + 6) < 1e-5, `${channels} channel(s): ${peak}`);
    }
});

test('silence is returned as it renders', () => {
    const quiet = { seed: 1, notes: [{ note: 60, start: 0.5, duration: 0.1 }], length: 0.3 };
    for (const normalize of ['peak', 'lufs']) {
        const channels = bf.render(bf.generate('blip', { seed: 1 }), { ...quiet, normalize });
        assert.equal(peakOf(channels), 0, normalize);
    }
});

test('wav() with normalize writes the command line\'s file', () => {
    withTempFolder((folder) => {
        const sound = bf.generate('powerup', { seed: 21 });
        for (const [normalize, channels, format] of [['peak:-3', 2, 'float'], ['lufs:-14', 1, 'float'],
                                                     ['peak:-3', 2, 'pcm16'], ['lufs', 1, 'pcm16']]) {
            const theirs = join(folder, 'native.wav');
            run(['render', '--state', sound.code, '--seed', '4', '--channels', String(channels), '--format', format,
                 '--normalize', normalize, '-o', theirs]);
            const ours = Buffer.from(bf.wav(sound.code, { seed: 4, channels, format, normalize }));
            assert.ok(ours.equals(readFileSync(theirs)), `${normalize}, ${channels} channel(s), ${format}`);
        }
    });
});

test('a bad normalize is refused with the reason', () => {
    const code = bf.generate('blip', { seed: 3 }).code;
    const refusals = [
        ['loud', /normalize 'loud': expected peak\[:DBFS\] or lufs\[:LUFS\]/],
        ['peak:', /the level must be a number -60 \.\.\. 0/],
        ['peak:+3', /the level must be a number -60 \.\.\. 0/],
        ['peak:-61', /the level must be a number -60 \.\.\. 0/],
        ['lufs:-71', /the level must be a number -70 \.\.\. 0/],
        ['lufs:-14dB', /the level must be a number -70 \.\.\. 0/],
    ];
    for (const [normalize, reason] of refusals) {
        assert.throws(() => bf.render(code, { normalize }), reason);
        assert.throws(() => bf.wav(code, { normalize }), reason);
    }
    assert.throws(() => bf.render(code, { normalize: -3 }), TypeError);
    assert.throws(() => bf.render(code, { normalize: 'peak', length: 3600, rate: 192000 }),
                  /length: at most \d+ s at this rate and channel count when normalising/);
});
