// The page in headless Chromium: the canvas shows what `bleepforge snapshot`
// draws, pixel for pixel, at device pixel ratio 1 and pixel-doubled at 2; a
// press on a generator reaches the editor; the OUTPUT meter shows what plays.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { webBuild } from './native.mjs';
import { Chromium, serve } from './chromium.mjs';
import {
    canvasPixels, differingBytes, gesture, kKnob, kMeter, kPickup, openPage, playedSounds, recordMessages, snapshot,
    withPage,
} from './pagedriver.mjs';

test('the page draws the editor as the snapshot does, at ratio 1 and pixel-doubled at 2', { timeout: 120000 }, async () => {
    const server = await serve(webBuild, {});
    const browser = new Chromium();
    try {
        for (const scale of [1, 2]) {
            const tab = await openPage(browser, `${server.url}/index.html`, scale);
            const shown = await canvasPixels(browser, tab, { meter: true });
            const expected = snapshot(scale, { meter: true });
            assert.deepEqual([shown.width, shown.height], [expected.width, expected.height], `ratio ${scale}`);
            assert.equal(differingBytes(shown.rgb, expected.rgb), 0, `ratio ${scale}`);
            assert.deepEqual(tab.errors, [], `ratio ${scale}`);
        }
    } finally {
        await browser.close();
        server.close();
    }
});

test('a generator press and a knob drag reach the editor and play the new sound', { timeout: 120000 }, async () => {
    const server = await serve(webBuild, {});
    const browser = new Chromium();
    try {
        const tab = await openPage(browser, `${server.url}/index.html`, 1);
        const played = [];
        for (const points of [[kPickup], [kKnob, { x: kKnob.x, y: kKnob.y - 30 }, { x: kKnob.x, y: kKnob.y - 60 }]]) {
            const before = await canvasPixels(browser, tab);
            await browser.evaluate(tab, recordMessages);
            await gesture(browser, tab, points);
            const after = await canvasPixels(browser, tab);
            assert.ok(differingBytes(before.rgb, after.rgb) > 0, `the picture stayed at ${JSON.stringify(points[0])}`);
            const sounds = await browser.evaluate(tab, playedSounds);
            const notesOn = await browser.evaluate(tab, 'window.sent.filter((m) => m.type === "noteOn").length');
            assert.equal(notesOn, 1, 'one audition a gesture');
            assert.equal(sounds.at(-1), await browser.evaluate(tab, 'window.bleepforgePage.sound.current()'));
            played.push(sounds);
        }
        assert.equal(played[0].length, 1, 'a press on a button sends its sound once');
        // The drag is heard as it moves: the sound follows each step, then
        // the release auditions where it ended.
        assert.ok(played[1].length >= 3, `the drag sent ${played[1].length} sounds`);
        assert.equal(new Set(played[1].slice(0, -1)).size, played[1].length - 1, 'a step that changes nothing sends nothing');
        assert.notEqual(played[0][0], played[1].at(-1), 'the knob drag played the sound PICKUP made');
        assert.deepEqual(tab.errors, []);
    } finally {
        await browser.close();
        server.close();
    }
});

// The OUTPUT meter's pixels (at ratio 1), as text to compare.
const meterPixels = `btoa(String.fromCharCode(...document.getElementById('editor').getContext('2d')
    .getImageData(${kMeter.left}, ${kMeter.top}, ${kMeter.width}, ${kMeter.height}).data))`;
// Whether the meter's pixels come to differ from (or, `back`, equal) `rest` within a while.
const meterBecomes = (rest, back) => `new Promise((resolve) => {
    const give = setTimeout(() => resolve(false), 20000);
    const check = () => ((${meterPixels} === ${JSON.stringify(rest)}) === ${back})
        ? (clearTimeout(give), resolve(true)) : setTimeout(check, 10);
    check();
})`;

test('the OUTPUT meter moves while a sound plays and falls back to rest when it stops', { timeout: 120000 }, async () => {
    await withPage(async (browser, tab) => {
        const rest = await browser.evaluate(tab, meterPixels);
        for (let press = 0; press < 2; ++press) {
            await gesture(browser, tab, [kPickup]);
            assert.equal(await browser.evaluate(tab, meterBecomes(rest, false)), true, `press ${press}: the meter never moved`);
            assert.equal(await browser.evaluate(tab, meterBecomes(rest, true)), true, `press ${press}: the meter stayed up`);
        }
    });
});
