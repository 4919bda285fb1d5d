// The module and its worklet in a real browser: headless Chromium plays a
// generated sound through an OfflineAudioContext, and what it captures must
// be what bf.render gives for the same sound and notes.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { webBuild } from './native.mjs';
import { Chromium, serve } from './chromium.mjs';

// What the page (served beside the module) gives for the expression, once
// it has run with no console errors.
async function inChromium(html, expression) {
    const server = await serve(webBuild, { '/test.html': html });
    const browser = new Chromium();
    try {
        const tab = await browser.open(`${server.url}/test.html`);
        const result = await browser.evaluate(tab, expression);
        assert.deepEqual(tab.errors, []);
        return result;
    } finally {
        await browser.close();
        server.close();
    }
}

const page = `<!doctype html><meta charset="utf-8"><title>bleepforge worklet</title><link rel="icon" href="data:,">
<script type="module">
import { Bleepforge } from './bleepforge.mjs';
window.played = (async () => {
    const bf = await Bleepforge.load();
    const rate = 48000, frames = 24000, offFrame = 9600;
    const sound = bf.generate('slash', { seed: 5 }); // noise too, seeded alike
    const context = new OfflineAudioContext({ numberOfChannels: 2, length: frames, sampleRate: rate });
    const node = await bf.createNode(context, { sound, seed: 8, notes: [
        { type: 'noteOn', note: 60, velocity: 127, frame: 0 }, { type: 'noteOff', note: 60, frame: offFrame }] });
    const refusal = new Promise((resolve) => { node.port.onmessage = (event) => resolve(event.data.message); });
    node.connect(context.destination);
    node.port.postMessage({ type: 'bogus' });
    const captured = await context.startRendering();
    const expected = bf.render(sound, { rate, seed: 8, length: (frames + 0.5) / rate,
                                        notes: [{ note: 60, velocity: 127, start: 0, duration: offFrame / rate }] });
    let differing = 0, peak = 0;
    for (let c = 0; c < 2; ++c) {
        const samples = captured.getChannelData(c);
        for (let i = 0; i < frames; ++i) {
            if (samples[i] !== expected[c][i])
                ++differing;
            peak = Math.max(peak, Math.abs(samples[i]));
        }
    }
    const said = await Promise.race([refusal, new Promise((resolve) => setTimeout(resolve, 5000, 'nothing'))]);
    return { differing, peak, length: captured.length, expectedLength: expected[0].length, said };
})();
</script>`;

test('the worklet in Chromium plays what bf.render gives, with no console errors', { timeout: 120000 }, async () => {
    const played = await inChromium(page, 'window.played');
    assert.match(played.said, /^unknown message type 'bogus' \(known: /);
    assert.equal(played.length, played.expectedLength);
    assert.ok(played.peak > 0.01, `nothing audible (peak ${played.peak})`);
    assert.equal(played.differing, 0);
});

const asyncPage = `<!doctype html><meta charset="utf-8"><title>bleepforge async</title><link rel="icon" href="data:,">
<script type="module">
import { Bleepforge } from './bleepforge-runtime.mjs';
window.answered = (async () => {
    const bf = await Bleepforge.load();
    const same = (a, b) => a.length === b.length && a.every((x, i) => Object.is(x, b[i]));
    const sounds = ['coin', 'laser', 'hurt', 'jump'].map((kind) => bf.generate(kind, { seed: 2 }));
    const options = { seed: 4, rate: 22050, normalize: 'lufs' };
    const rendered = await Promise.all(sounds.map((sound) => bf.renderAsync(sound, options)));
    const wavs = await Promise.all(sounds.map((sound) => bf.wavAsync(sound, { ...options, format: 'pcm24' })));
    const refusal = await bf.renderAsync(sounds[0], { rate: 5 }).catch((error) => error);
    return {
        renders: sounds.map((sound, i) => bf.render(sound, options).every((channel, c) => same(channel, rendered[i][c]))),
        wavs: sounds.map((sound, i) => same(bf.wav(sound, { ...options, format: 'pcm24' }), wavs[i])),
        refusal: [refusal.constructor.name, refusal.message],
    };
})();
</script>`;

test('renderAsync and wavAsync give in a Worker what render and wav give, and refuse as they do',
     { timeout: 120000 }, async () => {
    const answered = await inChromium(asyncPage, 'window.answered');
    assert.deepEqual(answered.renders, [true, true, true, true]);
    assert.deepEqual(answered.wavs, [true, true, true, true]);
    assert.equal(answered.refusal[0], 'RangeError');
    assert.match(answered.refusal[1], /^rate/);
});

const playerPage = `<!doctype html><meta charset="utf-8"><title>bleepforge player</title><link rel="icon" href="data:,">
<script type="module">
import { Bleepforge } from './bleepforge-runtime.mjs';
window.heard = (async () => {
    const bf = await Bleepforge.load();
    const rate = 48000, frames = 48000;
    const context = new OfflineAudioContext({ numberOfChannels: 2, length: frames, sampleRate: rate });
    const player = bf.player('laser', { seed: 11, context });
    const twin = bf.player('laser', { seed: 11, rate });
    await twin.next();
    const second = await twin.next();
    (await player.play()).node.stop(); // the first play, started and stopped before the context runs
    const played = await player.play();
    const captured = await context.startRendering();
    let differing = 0;
    const [left] = second.channels;
    for (let i = 0; i < frames; ++i) {
        const expected = i < left.length ? left[i] : 0;
        differing += captured.getChannelData(0)[i] === expected ? 0 : 1;
    }
    return { indices: [second.index, played.index], codes: second.sound.code === played.sound.code, differing,
             length: left.length };
})();
</script>`;

test('a player in Chromium plays its sequence into an AudioContext', { timeout: 120000 }, async () => {
    const heard = await inChromium(playerPage, 'window.heard');
    assert.deepEqual(heard.indices, [1, 1]);
    assert.ok(heard.codes);
    assert.equal(heard.differing, 0, `${heard.differing} of ${heard.length} samples differ`);
});
