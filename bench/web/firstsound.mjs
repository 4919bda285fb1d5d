// Time to the first sound: from navigation (a cold profile, the page served
// on loopback) to the moment a press on PICKUP, repeated from the moment
// anything is on screen, first changes the sound. Build first: scripts/web.
// FOLDER serves another build of the page (the one before a change) instead.
//   node bench/web/firstsound.mjs [RUNS] [FOLDER]
import { Chromium, serve } from '../../tests/web/chromium.mjs';
import { webBuild } from '../../tests/web/native.mjs';

const runs = Number(process.argv[2] ?? 7);
// In editor pixels: inside PICKUP.
const kPickup = { x: 281, y: 570 };
const kEditorWidth = 846;

// The first change of the sound a press makes, in ms after navigation.
const markFirstSound = `new MutationObserver((_, observer) => {
    if (!document.body?.dataset.ready)
        return;
    observer.disconnect();
    window.readyAt = performance.now();
    const { sound } = window.bleepforgePage;
    sound.listen((code, cause) => { window.firstSoundAt ??= cause === 'edit' ? performance.now() : undefined; });
}).observe(document, { attributes: true, subtree: true, attributeFilter: ['data-ready'] });`;

// The page's own marks of its start (none in a page that makes none), and
// when it was ready.
const kSteps = `Object.fromEntries([
    ...performance.getEntriesByType('mark').filter((m) => m.name.startsWith('bleepforge:'))
        .map((m) => [m.name.slice('bleepforge:'.length), m.startTime]),
    ['ready', window.readyAt]])`;

const pickupBox = `(() => {
    const b = document.getElementById('editor')?.getBoundingClientRect();
    return b && b.width > 0 ? [b.left, b.top, b.width / ${kEditorWidth}] : null;
})()`;

async function firstSound(url) {
    const browser = new Chromium();
    try {
        const tab = await browser.open('about:blank', { deviceScaleFactor: 1 });
        await browser.send('Page.addScriptToEvaluateOnNewDocument', { source: markFirstSound }, tab.sessionId);
        browser.send('Page.navigate', { url }, tab.sessionId);
        for (;;) {
            const at = await browser.evaluate(tab, 'window.firstSoundAt ?? null').catch(() => null);
            if (at !== null)
                return { at, steps: await browser.evaluate(tab, kSteps) };
            const box = await browser.evaluate(tab, pickupBox).catch(() => null);
            if (!box)
                continue;
            const [left, top, scale] = box;
            const point = { x: left + kPickup.x * scale, y: top + kPickup.y * scale, button: 'left', clickCount: 1 };
            await browser.send('Input.dispatchMouseEvent', { type: 'mousePressed', ...point, buttons: 1 }, tab.sessionId);
            await browser.send('Input.dispatchMouseEvent', { type: 'mouseReleased', ...point, buttons: 0 }, tab.sessionId);
        }
    } finally {
        await browser.close();
    }
}

const server = await serve(process.argv[3] ?? webBuild, {});
try {
    const results = [];
    for (let i = 0; i < runs; ++i)
        results.push(await firstSound(`${server.url}/index.html`));
    const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
    const times = results.map((r) => r.at);
    const sorted = [...times].sort((a, b) => a - b);
    console.log(`navigation to the first generator press taking effect, cold profile: median ` +
                `${median(times).toFixed(0)} ms, range ${sorted[0].toFixed(0)}–${sorted.at(-1).toFixed(0)} ms ` +
                `(of ${runs}: ${times.map((t) => t.toFixed(0)).join(', ')})`);
    const steps = Object.keys(results[0].steps).filter((step) => results.every((r) => r.steps[step] !== undefined));
    console.log(`  medians of the steps, ms after navigation: ${steps.map((step) =>
        `${step} ${median(results.map((r) => r.steps[step])).toFixed(0)}`).join(', ')}`);
} finally {
    server.close();
}
