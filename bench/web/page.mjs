// The page's speed in headless Chromium: the time from navigation to an
// interactive editor; the worklet's load, and the page's time drawing the
// editor, while a knob is dragged on the default patch (and while nothing
// moves but the sound and its meter); underruns in 30 s of the heavy patch
// played live. Build first: scripts/web.
//   node bench/web/page.mjs [HEAVY_SECONDS]
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { settingsCode, webBuild } from '../../tests/web/native.mjs';
import { referenceCases } from '../../tests/web/exactness.mjs';
import { Chromium, serve } from '../../tests/web/chromium.mjs';

const heavySeconds = Number(process.argv[2] ?? 30);
const kLoads = 5;

// The worklet as served to the bench: each quantum timed with the clock the
// worklet's scope has (milliseconds; unbiased summed over many quanta),
// reported every second of audio.
const timing = `
const register = globalThis.registerProcessor;
globalThis.registerProcessor = (name, Processor) => {
    const render = Processor.prototype.process;
    let busy = 0, quanta = 0;
    Processor.prototype.process = function (inputs, outputs) {
        const start = Date.now();
        const result = render.call(this, inputs, outputs);
        busy += Date.now() - start;
        if (++quanta % Math.round(sampleRate / 128) === 0)
            this.port.postMessage({ type: 'load', busy, quanta, rate: sampleRate });
        return result;
    };
    register(name, Processor);
};
`;
// The timing module is evaluated first, before the worklet registers.
const timedWorklet = "import './worklet-timing.js';\n" + readFileSync(join(webBuild, 'bleepforge-worklet.js'), 'utf8');

const markReady = `new MutationObserver((_, observer) => {
    if (document.body?.dataset.ready) {
        window.readyAt = performance.now();
        observer.disconnect();
    }
}).observe(document, { attributes: true, subtree: true, attributeFilter: ['data-ready'] });`;

async function readyTime(browser, url) {
    const tab = await browser.open('about:blank', { deviceScaleFactor: 1 });
    await browser.send('Page.addScriptToEvaluateOnNewDocument', { source: markReady }, tab.sessionId);
    await browser.send('Page.navigate', { url }, tab.sessionId);
    return browser.evaluate(tab, `new Promise((resolve) => {
        const check = () => window.readyAt ? resolve(window.readyAt) : setTimeout(check, 5);
        check();
    })`);
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function mouse(browser, tab, type, x, y, buttons) {
    const box = await browser.evaluate(tab, `(() => { const b = document.getElementById('editor').getBoundingClientRect(); return [b.left, b.top]; })()`);
    await browser.send('Input.dispatchMouseEvent', { type, x: box[0] + x, y: box[1] + y, button: 'left', buttons, clickCount: 1 }, tab.sessionId);
}

// Starts the audio with a press on the editor's background, and collects
// the worklet's load reports, passing the page what it asked for; times the
// page's drawing of the editor.
const startAudio = `(async () => {
    const { context, node } = await window.bleepforgePage.audio.start();
    window.loads = [];
    const page = node.port.onmessage;
    node.port.onmessage = (event) => event.data.type === 'load' ? window.loads.push(event.data) : page(event);
    const view = window.bleepforgePage.view, show = view.show.bind(view);
    window.drawing = 0;
    view.show = (scale) => {
        const start = performance.now();
        show(scale);
        window.drawing += performance.now() - start;
    };
    await context.resume();
    return context.sampleRate;
})()`;

// The worklet's share of real time over the reports since 'from', and the
// page's share drawing since 'drawnFrom' at 'startedAt'.
const loadSince = (from, drawnFrom, startedAt) => `(() => {
    const a = window.loads[${from}], b = window.loads[window.loads.length - 1];
    return { load: (b.busy - a.busy) / ((b.quanta - a.quanta) * 128 / b.rate * 1000), reports: window.loads.length,
             drawing: (window.drawing - ${drawnFrom}) / (performance.now() - ${startedAt}) };
})()`;

const wait = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function loadOver(browser, tab, seconds, during) {
    const [from, drawnFrom, startedAt] = await browser.evaluate(tab,
        '[window.loads.length - 1, window.drawing, performance.now()]');
    const end = Date.now() + seconds * 1000;
    while (Date.now() < end)
        await during();
    return browser.evaluate(tab, loadSince(from, drawnFrom, startedAt));
}

const server = await serve(webBuild, { '/bleepforge-worklet.js': { type: 'text/javascript', body: timedWorklet },
                                       '/worklet-timing.js': { type: 'text/javascript', body: timing } });
const browser = new Chromium();
try {
    const times = [];
    for (let i = 0; i < kLoads; ++i)
        times.push(await readyTime(browser, `${server.url}/index.html`));
    console.log(`navigation to an interactive editor: median ${median(times).toFixed(0)} ms ` +
                `(of ${kLoads}: ${times.map((t) => t.toFixed(0)).join(', ')})`);

    const tab = await browser.open(`${server.url}/index.html`, { deviceScaleFactor: 1 });
    await browser.evaluate(tab, `new Promise((r) => { const c = () => document.body.dataset.ready ? r() : setTimeout(c, 20); c(); })`);
    await mouse(browser, tab, 'mousePressed', 4, 4, 1);
    await mouse(browser, tab, 'mouseReleased', 4, 4, 0);
    const rate = await browser.evaluate(tab, startAudio);
    while (await browser.evaluate(tab, 'window.loads.length') < 2)
        await wait(200);
    const playEvery = async () => {
        await browser.evaluate(tab, 'window.bleepforgePage.audio.play(window.bleepforgePage.sound.current())');
        await wait(500);
    };
    const still = await loadOver(browser, tab, 10, playEvery);
    // The Osc2 Level knob, dragged up and down while the sound plays.
    let step = 0;
    await mouse(browser, tab, 'mousePressed', 124, 118, 1);
    const drag = async () => {
        const y = 118 - 60 * Math.abs(Math.sin(step++ / 20));
        await mouse(browser, tab, 'mouseMoved', 124, y, 1);
        if (step % 30 === 0)
            await browser.evaluate(tab, 'window.bleepforgePage.audio.play(window.bleepforgePage.sound.current())');
        await wait(16);
    };
    const dragging = await loadOver(browser, tab, 10, drag);
    await mouse(browser, tab, 'mouseReleased', 124, 118, 0);
    console.log(`worklet load at ${rate} Hz, default patch: ${(100 * still.load).toFixed(2)} % of real time playing, ` +
                `${(100 * dragging.load).toFixed(2)} % while a knob is dragged`);
    console.log(`the page drawing the editor: ${(100 * still.drawing).toFixed(2)} % of real time playing, ` +
                `${(100 * dragging.drawing).toFixed(2)} % while a knob is dragged`);

    const heavy = referenceCases()[1];
    const code = settingsCode(heavy.settings);
    const stats = `(() => { const s = window.bleepforgePage.audio.ready && (window.statsContext?.playbackStats); return s ? { underrunEvents: s.underrunEvents, underrunDuration: s.underrunDuration, totalDuration: s.totalDuration } : null; })()`;
    await browser.evaluate(tab, `window.bleepforgePage.audio.start().then(({ context }) => { window.statsContext = context; })`);
    const before = await browser.evaluate(tab, stats);
    await browser.evaluate(tab, `(async () => {
        const page = window.bleepforgePage;
        page.sound.set(${JSON.stringify(code)}, 'open');
        for (const [note, velocity] of ${JSON.stringify(heavy.notes)})
            await page.audio.noteOn(note, velocity);
    })()`);
    const heavyLoad = await loadOver(browser, tab, heavySeconds, () => wait(500));
    const after = await browser.evaluate(tab, stats);
    console.log(`heavy patch held ${heavySeconds} s live: worklet load ${(100 * heavyLoad.load).toFixed(1)} % of real time; ` +
                (before && after
                    ? `underruns ${after.underrunEvents - before.underrunEvents} (${((after.underrunDuration - before.underrunDuration) * 1000).toFixed(1)} ms) ` +
                      `in ${(after.totalDuration - before.totalDuration).toFixed(1)} s played`
                    : 'the browser gives no playback statistics'));
} finally {
    await browser.close();
    server.close();
}

