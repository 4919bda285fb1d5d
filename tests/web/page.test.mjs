// The page in headless Chromium: the canvas shows what `bleepforge snapshot`
// draws, pixel for pixel, at device pixel ratio 1 and pixel-doubled at 2, and
// a press on a generator reaches the editor.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { cli, webBuild } from './native.mjs';
import { Chromium, serve } from './chromium.mjs';
import { decodePng } from './png.mjs';

// In editor pixels: inside the PICKUP button, and on the Osc2 Level knob (at
// its lowest by default).
const kPickup = { x: 281, y: 570 };
const kKnob = { x: 124, y: 118 };

// The native snapshot at a scale, as RGB bytes.
function snapshot(scale) {
    const folder = mkdtempSync(join(tmpdir(), 'bleepforge-snapshot-'));
    try {
        const png = join(folder, 'editor.png');
        execFileSync(cli, ['snapshot', '--scale', String(scale), '-o', png]);
        return decodePng(readFileSync(png));
    } finally {
        rmSync(folder, { recursive: true, force: true });
    }
}

// The canvas's backing store as RGB bytes, with its size, once the page has
// drawn the frame after the events sent so far.
async function canvasPixels(browser, tab) {
    await browser.evaluate(tab, 'new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)))');
    const shot = await browser.evaluate(tab, `(() => {
        const canvas = document.getElementById('editor');
        const rgba = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
        let text = '';
        for (let i = 0; i < rgba.length; i += 4)
            text += String.fromCharCode(rgba[i], rgba[i + 1], rgba[i + 2]);
        return { width: canvas.width, height: canvas.height, rgb: btoa(text) };
    })()`);
    return { ...shot, rgb: Buffer.from(shot.rgb, 'base64') };
}

async function openPage(browser, url, deviceScaleFactor) {
    const tab = await browser.open(url, { deviceScaleFactor });
    await browser.evaluate(tab, `new Promise((resolve) => {
        const ready = () => document.body.dataset.ready ? resolve() : setTimeout(ready, 20);
        ready();
    })`);
    return tab;
}

// Presses at one point, moves through the others and releases at the last,
// as a mouse does.
async function gesture(browser, tab, points) {
    const box = await browser.evaluate(tab,
        `(() => { const b = document.getElementById('editor').getBoundingClientRect(); return { left: b.left, top: b.top }; })()`);
    const at = ({ x, y }) => ({ x: box.left + x, y: box.top + y, button: 'left', clickCount: 1 });
    const mouse = (type, point, buttons) =>
        browser.send('Input.dispatchMouseEvent', { type, ...at(point), buttons }, tab.sessionId);
    await mouse('mousePressed', points[0], 1);
    for (const point of points.slice(1))
        await mouse('mouseMoved', point, 1);
    await mouse('mouseReleased', points[points.length - 1], 0);
}

// What the page sends the worklet from now on, and the sound it shows.
const recordMessages = `(() => {
    if (!window.sent) {
        const post = MessagePort.prototype.postMessage;
        MessagePort.prototype.postMessage = function (message, ...rest) {
            window.sent.push(message);
            return post.call(this, message, ...rest);
        };
    }
    window.sent = [];
})()`;
const playedSounds = `new Promise((resolve) => {
    const check = () => window.sent.some((m) => m.type === 'noteOn')
        ? resolve(window.sent.filter((m) => m.type === 'sound').map((m) => m.code)) : setTimeout(check, 20);
    check();
})`;

function differingBytes(a, b) {
    let count = Math.abs(a.length - b.length);
    for (let i = 0; i < Math.min(a.length, b.length); ++i)
        count += a[i] !== b[i] ? 1 : 0;
    return count;
}

test('the page draws the editor as the snapshot does, at ratio 1 and pixel-doubled at 2', { timeout: 120000 }, async () => {
    const server = await serve(webBuild, {});
    const browser = new Chromium();
    try {
        for (const scale of [1, 2]) {
            const tab = await openPage(browser, `${server.url}/index.html`, scale);
            const shown = await canvasPixels(browser, tab);
            const expected = snapshot(scale);
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
            assert.equal(sounds.length, 1);
            played.push(sounds[0]);
        }
        assert.notEqual(played[0], played[1], 'the knob drag played the sound PICKUP made');
        assert.deepEqual(tab.errors, []);
    } finally {
        await browser.close();
        server.close();
    }
});
