// Drives the page in headless Chromium: opens it, presses and drags in the
// editor as a mouse does, reads the canvas, and records what the page sends
// the worklet.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { Chromium, serve } from './chromium.mjs';
import { cli, webBuild } from './native.mjs';
import { decodePng } from './png.mjs';

// In editor pixels: inside the PICKUP button, and on the Osc2 Level knob (at
// its lowest by default).
export const kPickup = { x: 281, y: 570 };
export const kKnob = { x: 124, y: 118 };

// A fresh server (with an empty page of the same site, to reach its storage
// from) and browser, for one test: closed whatever happens.
export async function withBrowser(work) {
    const server = await serve(webBuild, { '/empty.html': '<!doctype html><title>empty</title><link rel="icon" href="data:,">' });
    const browser = new Chromium();
    try {
        await work(browser, server.url);
    } finally {
        await browser.close();
        server.close();
    }
}

// A fresh server and browser with the page open at ratio 1, for one test:
// closed whatever happens, and the page must have said nothing on its console.
export async function withPage(body) {
    const server = await serve(webBuild, {});
    const browser = new Chromium();
    try {
        const tab = await openPage(browser, `${server.url}/index.html`, 1);
        await body(browser, tab, server);
        assert.deepEqual(tab.errors, []);
    } finally {
        await browser.close();
        server.close();
    }
}

// The OUTPUT meter, in editor pixels, and the strip left of it that its left
// level, printed right-aligned, reaches when wide. It shows what plays, which
// a snapshot of the sound knows nothing of: pictures leave both out (black)
// unless asked.
export const kMeter = { left: 760, top: 100, width: 57, height: 142 };
const kMeterText = { left: 740, top: 226, width: 20, height: 16 };
const kEditorWidth = 846;

// Paints the editor's rectangles black in a picture.
function blackened(picture, rects) {
    const { width, rgb } = picture;
    const scale = width / kEditorWidth;
    for (const { left, top, width: w, height: h } of rects) {
        for (let y = top * scale; y < (top + h) * scale; ++y)
            rgb.fill(0, 3 * (y * width + left * scale), 3 * (y * width + (left + w) * scale));
    }
    return picture;
}

function withoutMeter(picture, meter) {
    return meter ? picture : blackened(picture, [kMeter, kMeterText]);
}

// The slot box's number is the sound's place in the page's list, which a
// snapshot of the sound alone knows nothing of.
const kSlotNumber = { left: 548, top: 240, width: 55, height: 30 };
export function withoutSlotNumber(picture) {
    return blackened(picture, [kSlotNumber]);
}

// The native snapshot at a scale, as RGB bytes.
export function snapshot(scale, options) {
    return snapshotOf(null, scale, options);
}

// The canvas's backing store as RGB bytes, with its size, once the page has
// drawn the frame after the events sent so far.
export async function canvasPixels(browser, tab, { meter = false } = {}) {
    await browser.evaluate(tab, 'new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)))');
    const shot = await browser.evaluate(tab, `(() => {
        const canvas = document.getElementById('editor');
        const rgba = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
        let text = '';
        for (let i = 0; i < rgba.length; i += 4)
            text += String.fromCharCode(rgba[i], rgba[i + 1], rgba[i + 2]);
        return { width: canvas.width, height: canvas.height, rgb: btoa(text) };
    })()`);
    return withoutMeter({ ...shot, rgb: Buffer.from(shot.rgb, 'base64') }, meter);
}

export async function openPage(browser, url, deviceScaleFactor, screen = {}) {
    const tab = await browser.open(url, { deviceScaleFactor, ...screen });
    await ready(browser, tab);
    return tab;
}

export function loaded(browser, tab) {
    return new Promise((resolve) => browser.listeners.push(
        (m) => m.sessionId === tab.sessionId && m.method === 'Page.loadEventFired' && resolve()));
}

export async function ready(browser, tab) {
    await browser.evaluate(tab, `new Promise((resolve) => {
        const check = () => document.body.dataset.ready ? resolve() : setTimeout(check, 20);
        check();
    })`);
}

// Reloads the page in the same profile, once it is ready again.
export async function reload(browser, tab) {
    const done = loaded(browser, tab);
    await browser.send('Page.reload', {}, tab.sessionId);
    await browser.within(done, 'reloading');
    await ready(browser, tab);
}

// Presses at one point, moves through the others and releases at the last,
// as a mouse does.
export async function gesture(browser, tab, points) {
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

// What the page sends the worklet to play from now on (the meter's asks for
// levels left out), and the sound it shows.
export const recordMessages = `(() => {
    if (!window.sent) {
        const post = MessagePort.prototype.postMessage;
        MessagePort.prototype.postMessage = function (message, ...rest) {
            if (message?.type !== 'levels')
                window.sent.push(message);
            return post.call(this, message, ...rest);
        };
    }
    window.sent = [];
})()`;
export const playedSounds = `new Promise((resolve) => {
    const check = () => window.sent.some((m) => m.type === 'noteOn')
        ? resolve(window.sent.filter((m) => m.type === 'sound').map((m) => m.code)) : setTimeout(check, 20);
    check();
})`;

export function differingBytes(a, b) {
    let count = Math.abs(a.length - b.length);
    for (let i = 0; i < Math.min(a.length, b.length); ++i)
        count += a[i] !== b[i] ? 1 : 0;
    return count;
}


async function canvasCorner(browser, tab) {
    return browser.evaluate(tab,
        `(() => { const b = document.getElementById('editor').getBoundingClientRect(); return { left: b.left, top: b.top }; })()`);
}

// Clicks at a point of the editor `count` times, as a mouse does (2: a double-click).
export async function click(browser, tab, point, count = 1) {
    const box = await canvasCorner(browser, tab);
    const at = { x: box.left + point.x, y: box.top + point.y, button: 'left' };
    for (let clickCount = 1; clickCount <= count; ++clickCount) {
        await browser.send('Input.dispatchMouseEvent', { type: 'mousePressed', ...at, buttons: 1, clickCount }, tab.sessionId);
        await browser.send('Input.dispatchMouseEvent', { type: 'mouseReleased', ...at, buttons: 0, clickCount }, tab.sessionId);
    }
}

// Moves the mouse to a point of the editor, or turns its wheel there.
export async function hover(browser, tab, point, wheel = {}) {
    const box = await canvasCorner(browser, tab);
    await browser.send('Input.dispatchMouseEvent', {
        type: wheel.deltaY === undefined ? 'mouseMoved' : 'mouseWheel',
        x: box.left + point.x, y: box.top + point.y, deltaX: 0, ...wheel }, tab.sessionId);
}

// A key as the keyboard sends it: `key` as KeyboardEvent.key has it ("z",
// "Z" with shift), its 'down' and 'up' phases or only those asked, with Ctrl
// and Shift as asked; a one-character key without Ctrl also types its text.
const kKeyCodes = { Enter: 13, Escape: 27, ' ': 32 };
export async function pressKey(browser, tab, key, { phases = ['down', 'up'], ctrl = false, shift = false } = {}) {
    const code = key === ' ' ? 'Space' : key.length === 1 && /[a-z]/i.test(key) ? `Key${key.toUpperCase()}` : key;
    const windowsVirtualKeyCode = kKeyCodes[key] ?? key.toUpperCase().charCodeAt(0);
    const text = ctrl ? undefined : key.length === 1 ? key : key === 'Enter' ? '\r' : undefined;
    const modifiers = (ctrl ? 2 : 0) | (shift ? 8 : 0);
    for (const phase of phases)
        await browser.send('Input.dispatchKeyEvent', {
            type: phase === 'up' ? 'keyUp' : text ? 'keyDown' : 'rawKeyDown', key, code, windowsVirtualKeyCode, modifiers,
            ...(phase === 'down' && text ? { text } : {}) }, tab.sessionId);
}

// An expression awaited in the page until it is truthy.
export const until = (expression) => `new Promise((resolve) => {
    const check = () => { const value = (${expression}); value ? resolve(value) : setTimeout(check, 20); };
    check();
})`;

// The native snapshot of a sound (a code or a state file; null for the
// default sound), as RGB bytes.
export function snapshotOf(sound, scale = 1, { meter = false } = {}) {
    const folder = mkdtempSync(join(tmpdir(), 'bleepforge-snapshot-'));
    try {
        const png = join(folder, 'editor.png');
        execFileSync(cli, ['snapshot', ...(sound === null ? [] : ['--state', sound]), '--scale', String(scale), '-o', png]);
        return withoutMeter(decodePng(readFileSync(png)), meter);
    } finally {
        rmSync(folder, { recursive: true, force: true });
    }
}

