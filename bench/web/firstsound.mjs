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
    const { sound } = window.bleepforgePage;
    sound.listen((code, cause) => { window.firstSoundAt ??= cause === 'edit' ? performance.now() : undefined; });
}).observe(document, { attributes: true, subtree: true, attributeFilter: ['data-ready'] });`;

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
                return at;
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
    const times = [];
    for (let i = 0; i < runs; ++i)
        times.push(await firstSound(`${server.url}/index.html`));
    const sorted = [...times].sort((a, b) => a - b);
    console.log(`navigation to the first generator press taking effect, cold profile: median ` +
                `${sorted[Math.floor(runs / 2)].toFixed(0)} ms, range ${sorted[0].toFixed(0)}–${sorted.at(-1).toFixed(0)} ms ` +
                `(of ${runs}: ${times.map((t) => t.toFixed(0)).join(', ')})`);
} finally {
    server.close();
}
