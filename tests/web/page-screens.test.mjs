// The page on every screen, by touch and by keyboard, in headless Chromium:
// a phone in portrait and landscape, a tablet and a laptop's window. Every
// control lies in view (on a narrow screen, once the page is scrolled to
// it), large enough to touch, and where the editor has it; a whole task is
// done by touch, and one by the keys alone; assistive technology sees the
// generators as buttons.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { Bleepforge } from '../../build/web/bleepforge-node.mjs';
import { Chromium, serve } from './chromium.mjs';
import { run, webBuild } from './native.mjs';
import { openPage, pressKey, recordMessages, until } from './pagedriver.mjs';

const bf = await Bleepforge.load();

const kScreens = [
    { name: 'phone, portrait', size: { width: 390, height: 844 }, narrow: true },
    { name: 'phone, landscape', size: { width: 844, height: 390 }, narrow: true },
    { name: 'tablet', size: { width: 820, height: 1180 }, narrow: true },
    { name: 'laptop', size: { width: 1366, height: 657 }, narrow: false },
];
// In an order where each changes the sound: Reset last, from a sound of a kind.
const kGenerators = ['Pickup', 'Shoot', 'Powerup', 'Hit', 'Jump', 'Blip', 'Slash', 'Random', 'Mutate', 'Reset'];
const kLeastTarget = 40;
const kLeastLabel = 11;
const kLabelHeight = 7; // editor pixels of the knobs' capitals
const kWhiteKeyWidth = 10; // editor pixels
const kRestMs = 300;

async function withScreen(screen, body, { touch = true, scale = 1 } = {}) {
    const server = await serve(webBuild, {});
    const browser = new Chromium();
    try {
        const tab = await openPage(browser, `${server.url}/index.html`, scale, { size: screen.size, touch });
        await body(browser, tab, server);
        assert.deepEqual(tab.errors, []);
    } finally {
        await browser.close();
        server.close();
    }
}

// The page's parts in document CSS pixels.
const kMeasure = `(() => {
    const box = (e) => { const b = e.getBoundingClientRect();
        return { left: b.left + scrollX, top: b.top + scrollY, right: b.right + scrollX, bottom: b.bottom + scrollY,
                 width: b.width, height: b.height }; };
    const shown = (e) => e.getClientRects().length > 0;
    const ratio = devicePixelRatio >= 2 ? 2 : 1;
    return {
        window: { width: innerWidth, height: innerHeight, scrollWidth: document.documentElement.scrollWidth,
                  scrollHeight: document.documentElement.scrollHeight },
        buttons: [...document.querySelectorAll('.drawn-button')].map((e) => ({ name: e.textContent, ...box(e) })),
        knobs: [...document.querySelectorAll('.knob-target')].map(box),
        knobControls: window.bleepforgePage.view.controls.filter((c) => c.kind === 'knob').length,
        tiles: [...document.querySelectorAll('.tile')].map((t) => {
            const canvas = t.querySelector('canvas');
            return { ...box(t), keys: t.classList.contains('keys'), scale: box(canvas).width / (canvas.width / ratio),
                     holder: t.parentElement.classList.contains('keys-scroller') ? box(t.parentElement) : null };
        }),
        toolbar: [...document.querySelectorAll('#toolbar button, #toolbar label')].filter(shown).map(box),
        status: box(document.getElementById('status')),
        strip: box(document.getElementById('strip')),
    };
})()`;

const within = (inner, outer, what) => {
    const slack = 0.5;
    assert.ok(inner.left >= outer.left - slack && inner.right <= outer.right + slack &&
              inner.top >= outer.top - slack && inner.bottom <= outer.bottom + slack,
              `${what}: ${JSON.stringify(inner)} lies outside ${JSON.stringify(outer)}`);
};
const overlaps = (a, b) => a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;

test('at every size each control is in view, large enough, and never under the status line', { timeout: 240000 }, async () => {
    for (const screen of kScreens) {
        await withScreen(screen, async (browser, tab) => {
            const m = await browser.evaluate(tab, kMeasure);
            const { width, height } = screen.size;
            assert.ok(m.window.scrollWidth <= width, `${screen.name}: the page scrolls sideways (${m.window.scrollWidth})`);
            assert.deepEqual(m.buttons.map((b) => b.name).sort(), [...kGenerators, 'Prev', 'Next', 'Save'].sort(), screen.name);
            assert.equal(m.knobs.length, m.knobControls, `${screen.name}: a knob is in no tile`);
            // Across the window; down it on a laptop, and reached by scrolling elsewhere.
            const view = { left: 0, top: 0, right: width, bottom: screen.narrow ? m.window.scrollHeight : height };
            for (const part of [...m.buttons, ...m.knobs, ...m.tiles.filter((t) => !t.keys), ...m.toolbar, m.status, m.strip])
                within(part, view, screen.name);
            if (!screen.narrow)
                assert.ok(m.window.scrollHeight <= height, `${screen.name}: the page scrolls (${m.window.scrollHeight})`);
            for (const tile of m.tiles)
                assert.ok(!overlaps(m.status, tile), `${screen.name}: the status line lies over the editor`);
            if (!screen.narrow)
                return;
            // A narrow screen is touched: its targets and labels are measured.
            for (const target of [...m.buttons, ...m.knobs, ...m.toolbar])
                assert.ok(target.width >= kLeastTarget && target.height >= kLeastTarget,
                          `${screen.name}: a target of ${target.width} × ${target.height}`);
            for (const tile of m.tiles.filter((t) => !t.keys))
                assert.ok(tile.scale * kLabelHeight >= kLeastLabel, `${screen.name}: labels ${tile.scale * kLabelHeight} px tall`);
            const keys = m.tiles.find((t) => t.keys);
            assert.ok(keys.scale * kWhiteKeyWidth >= kLeastTarget, `${screen.name}: white keys ${keys.scale * kWhiteKeyWidth} px wide`);
            within(keys.holder, view, `${screen.name}: the keys' scroller`);
        });
    }
});

// Touches at an element's middle, once it is scrolled into view: a tap, a
// vertical drag of `rise` CSS pixels upwards, or a press held `holdMs`.
async function touch(browser, tab, selector, { rise = 0, holdMs = 0 } = {}) {
    const at = await browser.evaluate(tab, `(() => {
        const e = document.querySelector(${JSON.stringify(selector)});
        e.scrollIntoView({ block: 'center', inline: 'center' });
        const b = e.getBoundingClientRect();
        return { x: b.left + b.width / 2, y: b.top + b.height / 2 };
    })()`);
    // A finger lands once the page has come to rest: a tap at once after a
    // scroll is taken as stopping the scroll.
    await new Promise((resolve) => setTimeout(resolve, kRestMs));
    const send = (type, points) => browser.send('Input.dispatchTouchEvent', { type, touchPoints: points }, tab.sessionId);
    await send('touchStart', [at]);
    for (let step = 1; step <= 6 && rise; ++step)
        await send('touchMove', [{ x: at.x, y: at.y - (rise * step) / 6 }]);
    if (holdMs)
        await new Promise((resolve) => setTimeout(resolve, holdMs));
    await send('touchEnd', []);
}

const byName = (name) => `[...document.querySelectorAll('.drawn-button')].find((b) => b.textContent === ${JSON.stringify(name)})`;

async function tapButton(browser, tab, name) {
    await browser.evaluate(tab, `${byName(name)}.dataset.tapped = ${JSON.stringify(name)}`);
    await touch(browser, tab, `[data-tapped=${JSON.stringify(name)}]`);
}

const current = (browser, tab) => browser.evaluate(tab, 'window.bleepforgePage.sound.current()');
const noteOns = (browser, tab) => browser.evaluate(tab, "window.sent.filter((m) => m.type === 'noteOn').length");

// The file an export downloaded, by the name the status line gives it.
async function downloadedFile(browser, tab, folder) {
    const said = await browser.evaluate(tab, until("/^Exported /.test(document.getElementById('status').textContent) && document.getElementById('status').textContent"));
    const name = said.replace(/^Exported /, '');
    const path = join(folder, name);
    for (let waited = 0; !existsSync(path); waited += 50) {
        assert.ok(waited < 20000, `no ${name} after 20 s`);
        await new Promise((resolve) => setTimeout(resolve, 50));
    }
    return path;
}

test('by touch at every size: each drawn button is pressed where it is drawn; make, tweak, play, export, share',
     { timeout: 300000 }, async () => {
    for (const screen of kScreens) {
        const folder = mkdtempSync(join(tmpdir(), 'bleepforge-touch-'));
        try {
            await withScreen(screen, async (browser, tab, server) => {
                await browser.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
                await browser.send('Browser.grantPermissions',
                                   { origin: server.url, permissions: ['clipboardReadWrite', 'clipboardSanitizedWrite'] });
                await browser.send('Emulation.setFocusEmulationEnabled', { enabled: true }, tab.sessionId);
                // Every generator: a tap on its button makes a sound of its kind.
                for (const name of kGenerators) {
                    const before = await current(browser, tab);
                    await tapButton(browser, tab, name);
                    const after = await current(browser, tab);
                    assert.notEqual(after, before, `${screen.name}: ${name} changed nothing`);
                    if (!['Reset', 'Random', 'Mutate'].includes(name))
                        assert.equal(await browser.evaluate(tab, 'window.bleepforgePage.editor.kind()'),
                                     name.toLowerCase(), screen.name);
                }
                await tapButton(browser, tab, 'Pickup');
                const made = await current(browser, tab);

                // A vertical drag up a knob turns it, and the page stays where it was.
                await browser.evaluate(tab, "document.querySelectorAll('.knob-target')[5].dataset.dragged = 'yes'");
                await touch(browser, tab, '[data-dragged=yes]', { rise: 0 });
                const scrolled = await browser.evaluate(tab, 'scrollY');
                await touch(browser, tab, '[data-dragged=yes]', { rise: 60 });
                assert.equal(await browser.evaluate(tab, 'scrollY'), scrolled, `${screen.name}: the drag scrolled the page`);
                const tweaked = await current(browser, tab);
                assert.notEqual(tweaked, made, `${screen.name}: the drag turned nothing`);

                // Play, by the page's own button.
                await browser.evaluate(tab, recordMessages);
                await touch(browser, tab, '#play');
                await browser.evaluate(tab, until("window.sent.some((m) => m.type === 'noteOn')"));
                assert.equal(await noteOns(browser, tab), 1);

                // Export, and the file holds the sound.
                await touch(browser, tab, '#toolbar button[title^="Export the sound"]');
                await browser.evaluate(tab, until("document.getElementById('export-dialog')"));
                await touch(browser, tab, '#export-dialog button[type=submit]');
                const file = await downloadedFile(browser, tab, folder);
                assert.equal(run(['show', file]), run(['show', tweaked]));

                // Share: the link copied opens this very sound.
                await touch(browser, tab, '#toolbar button[title^="Copy a link"]');
                const link = await browser.evaluate(tab, 'navigator.clipboard.readText()');
                assert.equal(bf.core.codeOfLink(new URL(link).hash.slice(1)).code, tweaked, screen.name);

                // A long press on a knob opens its value field there.
                await touch(browser, tab, '[data-dragged=yes]', { holdMs: 800 });
                const field = await browser.evaluate(tab, `(() => {
                    const field = document.querySelector('.bleepforge-field');
                    const knob = document.querySelector('[data-dragged=yes]').getBoundingClientRect();
                    const b = field?.getBoundingClientRect();
                    return b && { inside: b.left >= knob.left - 1 && b.right <= knob.right + 1 && b.top >= knob.top - 1 &&
                                          b.bottom <= knob.bottom + 1, focused: document.activeElement === field };
                })()`);
                assert.deepEqual(field, { inside: true, focused: true }, `${screen.name}: the long press`);
                await pressKey(browser, tab, 'Escape');
                assert.equal(await current(browser, tab), tweaked);
            });
        } finally {
            rmSync(folder, { recursive: true, force: true });
        }
    }
});

// The accessibility tree's nodes: role and name.
async function accessible(browser, tab) {
    await browser.send('Accessibility.enable', {}, tab.sessionId);
    const { nodes } = await browser.send('Accessibility.getFullAXTree', {}, tab.sessionId);
    return nodes.filter((n) => !n.ignored).map((n) => ({ role: n.role?.value, name: n.name?.value ?? '' }));
}

test('by the keys alone: Tab reaches every toolbar control and generator, which make, play and export; ' +
     'assistive technology sees named buttons, a named editor and what was made', { timeout: 180000 }, async () => {
    const folder = mkdtempSync(join(tmpdir(), 'bleepforge-keys-'));
    try {
        await withScreen(kScreens[3], async (browser, tab) => {
            await browser.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
            await browser.send('Emulation.setFocusEmulationEnabled', { enabled: true }, tab.sessionId);
            const nodes = await accessible(browser, tab);
            for (const name of kGenerators)
                assert.ok(nodes.some((n) => n.role === 'button' && n.name === name), `no button named ${name}`);
            assert.ok(nodes.some((n) => n.role === 'image' && n.name === 'Sound editor'), 'the editor has no name');

            // One round of Tab: every generator and every toolbar control.
            const reached = [];
            for (let i = 0; i < 60; ++i) {
                await pressKey(browser, tab, 'Tab');
                reached.push(await browser.evaluate(tab, `(() => { const e = document.activeElement;
                    return e.classList.contains('drawn-button') ? e.textContent : e.closest('#toolbar') ? e.outerHTML : ''; })()`));
            }
            for (const name of kGenerators)
                assert.ok(reached.includes(name), `Tab never reaches ${name}`);
            const toolbar = await browser.evaluate(tab, `[...document.querySelectorAll('#toolbar button, #toolbar input')]
                .filter((e) => e.getClientRects().length > 0 && !e.disabled).map((e) => e.outerHTML)`);
            for (const control of toolbar)
                assert.ok(reached.includes(control), `Tab never reaches ${control}`);

            // Make: Enter on the focused Pickup, then the shortcuts.
            while (await browser.evaluate(tab, 'document.activeElement.textContent') !== 'Pickup')
                await pressKey(browser, tab, 'Tab');
            await pressKey(browser, tab, 'Enter');
            assert.equal(await browser.evaluate(tab, 'window.bleepforgePage.editor.kind()'), 'pickup');
            const region = await browser.evaluate(tab, until("/^pickup \\d+, \\d+\\.\\d\\d s$/.test(document.getElementById('announce').textContent) && document.getElementById('announce').textContent"));
            assert.ok((await accessible(browser, tab)).some((n) => n.name === region), `the live region says ${region}`);
            const shortcuts = [['2', 'shoot'], ['3', 'powerup'], ['4', 'hit'], ['5', 'jump'], ['6', 'blip'], ['7', 'slash'],
                               ['1', 'pickup']];
            for (const [key, kind] of shortcuts) {
                await pressKey(browser, tab, key);
                assert.equal(await browser.evaluate(tab, 'window.bleepforgePage.editor.kind()'), kind, `key ${key}`);
            }
            for (const key of ['m', 'r']) {
                const before = await current(browser, tab);
                await pressKey(browser, tab, key);
                assert.notEqual(await current(browser, tab), before, `key ${key} changed nothing`);
            }
            // Play, by Tab to the Play button.
            await browser.evaluate(tab, recordMessages);
            while (await browser.evaluate(tab, 'document.activeElement.id') !== 'play')
                await pressKey(browser, tab, 'Tab');
            await pressKey(browser, tab, 'Enter');
            await browser.evaluate(tab, until("window.sent.some((m) => m.type === 'noteOn')"));
            // Export: Ctrl+E, Enter.
            const code = await current(browser, tab);
            await pressKey(browser, tab, 'e', { ctrl: true });
            await browser.evaluate(tab, until("document.getElementById('export-dialog')"));
            await pressKey(browser, tab, 'Enter');
            const file = await downloadedFile(browser, tab, folder);
            assert.equal(run(['show', file]), run(['show', code]));
        }, { touch: false });
    } finally {
        rmSync(folder, { recursive: true, force: true });
    }
});

test('on a phone, a finger dragging a list knob turns it and opens no menu, held or lifted; a hold opens it',
     { timeout: 120000 }, async () => {
    await withScreen(kScreens[0], async (browser, tab) => {
        await tapButton(browser, tab, 'Reset');
        await browser.evaluate(tab, `document.querySelectorAll('.knob-target')[window.bleepforgePage.view.controls
            .filter((c) => c.kind === 'knob').findIndex((c) => c.name === 'Osc1 Type')].dataset.list = 'yes'`);
        const menu = () => browser.evaluate(tab, "document.querySelector('.bleepforge-menu')?.textContent ?? null");
        const reset = await current(browser, tab);
        // Held past a long press after the drag, then lifted.
        await touch(browser, tab, '[data-list=yes]', { rise: 40, holdMs: 800 });
        await new Promise((resolve) => setTimeout(resolve, kRestMs));
        assert.equal(await menu(), null, 'the drag opened the menu');
        assert.notEqual(await current(browser, tab), reset, 'the drag turned nothing');
        await touch(browser, tab, '[data-list=yes]', { holdMs: 800 });
        assert.match(await menu(), /Sin/, 'a long press opened no menu');
        await pressKey(browser, tab, 'Escape');
    });
});
