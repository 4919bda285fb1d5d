// The page's list of sounds in headless Chromium, as a new user meets it:
// sounds made by keys and touch join the list, are named, starred, kept
// across a reload, deleted and put back, varied and exported as a ZIP that
// unzip opens and the command line reads; the list, the slot box and
// PREV/NEXT show the same sound; a damaged record is set aside, never lost.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { run } from './native.mjs';
import { loaded, openPage, pressKey, ready, reload, until, withBrowser } from './pagedriver.mjs';
import { Bleepforge } from '../../build/web/bleepforge-node.mjs';

const bf = await Bleepforge.load();

const kListKey = 'bleepforge.list.v1';
const kLaptop = { width: 1366, height: 657 };
const kScreens = [
    { name: 'phone', size: { width: 390, height: 844 } },
    { name: 'tablet', size: { width: 820, height: 1180 } },
    { name: 'laptop', size: kLaptop },
];
const kLeastTarget = 40;
const kRestMs = 300;

// The list as shown: each item's name, kind, star and whether it is the one chosen.
const shownList = (browser, tab) => browser.evaluate(tab, `[...document.querySelectorAll('#sounds li[data-index]')]
    .map((li) => ({ name: li.querySelector('.pick').firstChild.textContent, kind: li.querySelector('small').textContent.split(',')[0],
                    starred: li.querySelector('.star').getAttribute('aria-pressed') === 'true',
                    chosen: li.getAttribute('aria-current') === 'true' }))`);
const names = async (browser, tab) => (await shownList(browser, tab)).map((s) => s.name);
const chosenName = async (browser, tab) => (await shownList(browser, tab)).find((s) => s.chosen)?.name;
const status = (browser, tab) => browser.evaluate(tab, "document.getElementById('status').textContent");
const slotBox = (browser, tab) => browser.evaluate(tab,
    '(() => { const e = window.bleepforgePage.editor; return { shown: e.slotShown(), count: e.slotCount() }; })()');
const itemSelector = (name, part) =>
    `[...document.querySelectorAll('#sounds li[data-index]')].find((li) => li.querySelector('.pick')?.firstChild.textContent === ${JSON.stringify(name)})${part ? `.querySelector(${JSON.stringify(part)})` : ''}`;
// Takes the tab to another address, once it has loaded.
async function visit(browser, tab, url) {
    const done = loaded(browser, tab);
    await browser.send('Page.navigate', { url }, tab.sessionId);
    await browser.within(done, `opening ${url}`);
}

// The name of the item that has the keyboard's focus, if any.
const focusedItem = (browser, tab) => browser.evaluate(tab,
    "document.activeElement.closest('#sounds li')?.querySelector('.pick')?.firstChild.textContent ?? null");
const clickItem = (browser, tab, name, part) => browser.evaluate(tab, `${itemSelector(name, part)}.click()`);

// Fills the page's storage but about 200 characters, in keys of its own.
const fillStorage = `let n = 0;
    for (let size = 1 << 16; size >= 1; size >>= 1) {
        try {
            for (;;)
                localStorage.setItem(\`filler \${n++}\`, 'x'.repeat(size));
        } catch {
            // full at this size
        }
    }
    localStorage.setItem('filler 0', 'x'.repeat((1 << 16) - 200));`;

async function typeText(browser, tab, text) {
    await browser.send('Input.insertText', { text }, tab.sessionId);
}

// Focuses a part of an item and presses a key there, as the keyboard does.
async function keyOnItem(browser, tab, name, key) {
    await browser.evaluate(tab, `${itemSelector(name, '.pick')}.focus()`);
    await pressKey(browser, tab, key);
}

async function pressDrawn(browser, tab, name) {
    await browser.evaluate(tab, `window.bleepforgePage.pressControl(window.bleepforgePage.view.controls.find((c) => c.name === ${JSON.stringify(name)}))`);
}

// Waits for a downloaded file to be whole.
async function downloaded(folder, name) {
    const path = join(folder, name);
    for (let waited = 0; !existsSync(path) || readdirSync(folder).some((f) => f.endsWith('.crdownload')); waited += 50) {
        assert.ok(waited < 20000, `no ${name} after 20 s: ${readdirSync(folder)}`);
        await new Promise((resolve) => setTimeout(resolve, 50));
    }
    return path;
}

test('by the keys a new user makes sounds, names and stars them, finds them after a reload, deletes and undoes, ' +
     'varies one and exports the starred as a ZIP that unzip opens and the command line reads',
     { timeout: 240000 }, async () => {
    const folder = mkdtempSync(join(tmpdir(), 'bleepforge-library-'));
    try {
        await withBrowser(async (browser, url) => {
            const tab = await openPage(browser, `${url}/index.html`, 1, { size: kLaptop });
            await browser.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
            for (const key of ['1', '2', '3', '1'])
                await pressKey(browser, tab, key);
            assert.deepEqual(await names(browser, tab), ['pickup 1', 'shoot 1', 'powerup 1', 'pickup 2']);
            assert.equal(await chosenName(browser, tab), 'pickup 2');
            assert.deepEqual(await slotBox(browser, tab), { shown: 3, count: 4 });

            // F2 renames, B stars the chosen sound, a click stars another.
            await keyOnItem(browser, tab, 'shoot 1', 'F2');
            await typeText(browser, tab, 'laser');
            await pressKey(browser, tab, 'Enter');
            assert.equal(await focusedItem(browser, tab), 'laser');
            await browser.evaluate(tab, 'document.activeElement.blur()');
            await pressKey(browser, tab, 'b');
            await clickItem(browser, tab, 'laser', '.star');
            const made = await shownList(browser, tab);
            assert.deepEqual(made.map((s) => [s.name, s.starred]),
                             [['pickup 1', false], ['laser', true], ['powerup 1', false], ['pickup 2', true]]);
            const code = await browser.evaluate(tab, 'window.bleepforgePage.sound.current()');

            // Each sound's link opens it.
            const link = await browser.evaluate(tab, `(() => { const a = ${itemSelector('laser', 'a')}; a.focus(); return a.getAttribute('href'); })()`);
            const laser = await browser.evaluate(tab, 'window.bleepforgePage.library.list.item(1).code');
            assert.equal(bf.core.codeOfLink(link.slice(1)).code, laser);

            // Kept across a reload, the same sound chosen and shown.
            await reload(browser, tab);
            assert.deepEqual(await shownList(browser, tab), made);
            assert.equal(await browser.evaluate(tab, 'window.bleepforgePage.sound.current()'), code);
            assert.deepEqual(await slotBox(browser, tab), { shown: 3, count: 4 });

            // PREV in the editor and a click in the list show the same sound.
            await pressDrawn(browser, tab, 'Prev');
            assert.equal(await chosenName(browser, tab), 'powerup 1');
            assert.deepEqual(await slotBox(browser, tab), { shown: 2, count: 4 });
            const powerup = await browser.evaluate(tab, 'window.bleepforgePage.library.list.item(2).code');
            assert.equal(await browser.evaluate(tab, 'window.bleepforgePage.sound.current()'), powerup);
            await clickItem(browser, tab, 'pickup 1', '.pick');
            assert.deepEqual(await slotBox(browser, tab), { shown: 0, count: 4 });

            // Delete takes it off; Undo delete puts it back where it was.
            await keyOnItem(browser, tab, 'powerup 1', 'Delete');
            assert.deepEqual(await names(browser, tab), ['pickup 1', 'laser', 'pickup 2']);
            assert.match(await status(browser, tab), /"powerup 1" is off the list/);
            await browser.evaluate(tab, "[...document.querySelectorAll('#library button')].find((b) => b.textContent === 'Undo delete').click()");
            assert.deepEqual(await names(browser, tab), ['pickup 1', 'laser', 'powerup 1', 'pickup 2']);
            assert.deepEqual((await shownList(browser, tab)).map((s) => s.starred), [false, true, false, true]);
            assert.match(await status(browser, tab), /"powerup 1" is back on the list/);
            assert.equal(await focusedItem(browser, tab), 'powerup 1');

            // V makes the count asked of the chosen sound, right after it.
            await clickItem(browser, tab, 'laser', '.pick');
            await browser.evaluate(tab, "document.activeElement.blur(); document.getElementById('variation-count').value = 3");
            await pressKey(browser, tab, 'v');
            assert.deepEqual(await names(browser, tab),
                             ['pickup 1', 'laser', 'laser v1', 'laser v2', 'laser v3', 'powerup 1', 'pickup 2']);
            assert.equal(await chosenName(browser, tab), 'laser v1');
            await pressKey(browser, tab, 'b');

            // Starred only, then their ZIP, with names for a game.
            await browser.evaluate(tab, "document.getElementById('starred-only').click()");
            assert.deepEqual(await names(browser, tab), ['laser', 'laser v1', 'pickup 2']);
            await browser.evaluate(tab, `document.getElementById('export-which').value = 'starred';
                document.getElementById('game-names').checked = true;
                [...document.querySelectorAll('#library button')].find((b) => b.textContent === 'Export ZIP').click()`);
            const zip = await downloaded(folder, 'starred_sounds.zip');
            assert.match(execFileSync('unzip', ['-t', zip], { encoding: 'utf8' }), /No errors detected/);
            const out = join(folder, 'out');
            execFileSync('unzip', ['-q', zip, '-d', out]);
            const listed = await browser.evaluate(tab, `(() => { const l = window.bleepforgePage.library.list;
                return [1, 2, 6].map((i) => l.item(i).code); })()`);
            assert.deepEqual(readdirSync(out).sort(), ['laser.wav', 'laser_v1.wav', 'pickup_2.wav']);
            ['laser.wav', 'laser_v1.wav', 'pickup_2.wav'].forEach((file, k) =>
                assert.equal(run(['show', join(out, file)]), run(['show', listed[k]]), file));
            assert.deepEqual(tab.errors, []);
        });
    } finally {
        rmSync(folder, { recursive: true, force: true });
    }
});

// Touches an element's middle once it is scrolled into view.
async function tap(browser, tab, expression) {
    const at = await browser.evaluate(tab, `(() => {
        const e = ${expression};
        e.scrollIntoView({ block: 'center', inline: 'center' });
        const b = e.getBoundingClientRect();
        return { x: b.left + b.width / 2, y: b.top + b.height / 2 };
    })()`);
    await new Promise((resolve) => setTimeout(resolve, kRestMs));
    await browser.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [at] }, tab.sessionId);
    await browser.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] }, tab.sessionId);
}

test('at every size by touch: the list is a list of its sounds to assistive technology, its targets are large ' +
     'enough and in view, and a tap chooses and stars', { timeout: 240000 }, async () => {
    for (const screen of kScreens) {
        await withBrowser(async (browser, url) => {
            const tab = await openPage(browser, `${url}/index.html`, 1, { size: screen.size, touch: true });
            for (const name of ['Pickup', 'Jump', 'Blip'])
                await tap(browser, tab, `[...document.querySelectorAll('.drawn-button')].find((b) => b.textContent === '${name}')`);
            assert.deepEqual(await names(browser, tab), ['pickup 1', 'jump 1', 'blip 1'], screen.name);

            await tap(browser, tab, itemSelector('pickup 1', '.pick'));
            assert.equal(await chosenName(browser, tab), 'pickup 1', screen.name);
            await tap(browser, tab, itemSelector('jump 1', '.star'));
            assert.deepEqual((await shownList(browser, tab)).map((s) => s.starred), [false, true, false], screen.name);

            const m = await browser.evaluate(tab, `(() => {
                const box = (e) => { const b = e.getBoundingClientRect();
                    return { left: b.left + scrollX, right: b.right + scrollX, top: b.top + scrollY, bottom: b.bottom + scrollY,
                             width: b.width, height: b.height }; };
                return { width: innerWidth, height: innerHeight, scrollWidth: document.documentElement.scrollWidth,
                         scrollHeight: document.documentElement.scrollHeight,
                         targets: [...document.querySelectorAll('#library :is(button, select, input, a, summary, label)')]
                             .filter((e) => e.getClientRects().length && !e.matches('label > input'))
                             .filter((e) => !e.closest('details:not([open]) .groups')).map(box),
                         editor: box(document.getElementById('editor-area')), list: box(document.getElementById('library')) };
            })()`);
            assert.ok(m.scrollWidth <= m.width, `${screen.name}: the page scrolls sideways`);
            for (const target of m.targets) {
                assert.ok(target.width >= kLeastTarget && target.height >= kLeastTarget,
                          `${screen.name}: a target of ${target.width} × ${target.height}`);
                assert.ok(target.left >= 0 && target.right <= m.width, `${screen.name}: a target outside the page`);
            }
            if (screen.name === 'laptop') {
                // Beside the editor, all in the window: the page does not scroll.
                assert.ok(m.scrollHeight <= m.height, `laptop: the page scrolls (${m.scrollHeight})`);
                assert.ok(m.list.left >= m.editor.right, 'laptop: the list lies over the editor');
            }

            const { nodes } = await browser.send('Accessibility.getFullAXTree', {}, tab.sessionId);
            const list = nodes.find((n) => n.role?.value === 'list' && n.name?.value === 'Sounds');
            assert.ok(list, `${screen.name}: no list named Sounds`);
            const items = nodes.filter((n) => list.childIds.includes(n.nodeId));
            assert.deepEqual(items.map((n) => n.role?.value), ['listitem', 'listitem', 'listitem'], screen.name);
            const buttons = nodes.filter((n) => n.role?.value === 'button').map((n) => n.name?.value);
            for (const name of ['Star jump 1', 'Rename jump 1', 'Delete jump 1'])
                assert.ok(buttons.includes(name), `${screen.name}: no button "${name}"`);
            assert.deepEqual(tab.errors, []);
        });
    }
});

test('two tabs of one profile: each change is made on top of the list the other tab saved, and no sound is lost',
     { timeout: 180000 }, async () => {
    await withBrowser(async (browser, url) => {
        const saved = (tab, name) => browser.evaluate(tab,
            until(`(localStorage.getItem('${kListKey}') ?? '').includes(${JSON.stringify(name)})`));
        const codes = (tab) => browser.evaluate(tab,
            '(() => { const l = window.bleepforgePage.library.list; return l.rows().map((_, i) => l.item(i).code); })()');
        const first = await openPage(browser, `${url}/index.html`, 1, { size: kLaptop });
        await pressKey(browser, first, '1');
        await saved(first, 'pickup 1');
        const second = await openPage(browser, `${url}/index.html`, 1, { size: kLaptop });
        assert.deepEqual(await names(browser, second), ['pickup 1']);

        await pressKey(browser, second, '2');
        await saved(second, 'shoot 1');
        const shoot = (await codes(second))[1];
        await browser.evaluate(first, until(`document.querySelectorAll('#sounds li[data-index]').length === 2`));
        await pressKey(browser, first, '3');
        await saved(first, 'powerup 1');
        assert.deepEqual(await names(browser, first), ['pickup 1', 'shoot 1', 'powerup 1']);
        assert.equal((await codes(first))[1], shoot);

        await reload(browser, second);
        assert.deepEqual(await names(browser, second), ['pickup 1', 'shoot 1', 'powerup 1']);
        assert.deepEqual(await codes(second), await codes(first));

        // A list stored behind a tab's back (its event missed) is read before
        // the tab writes: taken and said, never written over.
        const older = await browser.evaluate(second, `localStorage.getItem('${kListKey}')`);
        await pressKey(browser, second, '4');
        await saved(second, 'hit 1');
        await browser.evaluate(first, until("document.querySelectorAll('#sounds li[data-index]').length === 4"));
        await browser.evaluate(first, `localStorage.setItem('${kListKey}', ${JSON.stringify(older)})`);
        await pressKey(browser, first, '5');
        await browser.evaluate(first, until("document.getElementById('status').textContent.includes('another tab')"));
        assert.deepEqual(await names(browser, first), ['pickup 1', 'shoot 1', 'powerup 1']);
        assert.equal(await browser.evaluate(first, `localStorage.getItem('${kListKey}')`), older);
        assert.deepEqual(first.errors, []);
        assert.deepEqual(second.errors, []);
    });
});

test('a damaged list is set aside under a key of its own and said; the page starts a new one that is kept',
     { timeout: 180000 }, async () => {
    await withBrowser(async (browser, url) => {
        const tab = await openPage(browser, `${url}/index.html`, 1, { size: kLaptop });
        for (const key of ['4', '5'])
            await pressKey(browser, tab, key);
        await reload(browser, tab);
        const record = await browser.evaluate(tab, `localStorage.getItem('${kListKey}')`);
        assert.match(record, /hit 1/);
        const damaged = record.replace('hit 1', 'hit 7');

        // Damaged away from the page: an open page keeps its own list.
        await visit(browser, tab, `${url}/empty.html`);
        await browser.evaluate(tab, `localStorage.setItem('${kListKey}', ${JSON.stringify(damaged)})`);
        await visit(browser, tab, `${url}/index.html`);
        await ready(browser, tab);
        assert.deepEqual(await names(browser, tab), []);
        assert.match(await status(browser, tab), /list of sounds kept from your last visit cannot be read \(.*\): .*keeps them aside/);
        const aside = await browser.evaluate(tab, `Object.keys(localStorage)
            .filter((key) => key.startsWith('bleepforge.list.damaged-')).map((key) => localStorage.getItem(key))`);
        assert.deepEqual(aside, [damaged]);

        await pressKey(browser, tab, '6');
        await browser.evaluate(tab, until(`localStorage.getItem('${kListKey}') !== ${JSON.stringify(damaged)}`));
        // The sound the editor kept from the last visit is its own, and joins
        // the list before the new one takes its place.
        await reload(browser, tab);
        assert.deepEqual(await names(browser, tab), ['reset 1', 'blip 1']);
        assert.equal(await status(browser, tab), '');
        assert.deepEqual(tab.errors, []);
    });
});

test('a damaged list that cannot be set aside, storage nearly full, stays where it is and the page says so',
     { timeout: 180000 }, async () => {
    await withBrowser(async (browser, url) => {
        const tab = await openPage(browser, `${url}/index.html`, 1, { size: kLaptop });
        await pressKey(browser, tab, '4');
        await browser.evaluate(tab, until(`(localStorage.getItem('${kListKey}') ?? '').includes('hit 1')`));
        const damaged = (await browser.evaluate(tab, `localStorage.getItem('${kListKey}')`)).replace('hit 1', 'hit 7');
        // Away from the page, the list is damaged, the editor's record taken
        // away and the rest of the storage filled but about 200 characters.
        await visit(browser, tab, `${url}/empty.html`);
        await browser.evaluate(tab, `(() => {
            localStorage.clear();
            localStorage.setItem('${kListKey}', ${JSON.stringify(damaged)});
            ${fillStorage}
        })()`);
        await visit(browser, tab, `${url}/index.html`);
        await ready(browser, tab);
        await pressKey(browser, tab, '1');
        await browser.evaluate(tab, until("document.getElementById('status').textContent.includes('refused to keep')"));
        assert.equal(await browser.evaluate(tab, `localStorage.getItem('${kListKey}')`), damaged);
        assert.match(await status(browser, tab), /list of sounds kept from your last visit cannot be read \(.*\) nor set aside/);
        assert.deepEqual(await browser.evaluate(tab, "Object.keys(localStorage).filter((k) => k.includes('damaged'))"), []);
        assert.deepEqual(tab.errors, []);
    });
});

test('a pasted recipe over the size limit is refused naming it, and a kind the browser cannot keep is not called kept',
     { timeout: 180000 }, async () => {
    await withBrowser(async (browser, url) => {
        const tab = await openPage(browser, `${url}/index.html`, 1, { size: kLaptop });
        const paste = (name, text) => browser.evaluate(tab, `(() => {
            const form = document.querySelector('.recipe-form');
            form.hidden = false;
            form.querySelector('input').value = ${JSON.stringify(name)};
            form.querySelector('textarea').value = ${JSON.stringify(text)};
            form.requestSubmit();
            return form.querySelector('.problem').textContent;
        })()`);
        const menu = () => browser.evaluate(tab, "[...document.querySelectorAll('#kind option')].map((o) => o.textContent)");
        const recipe = (padding) => `[params]\n"Osc1 Type" = "Square"\n# ${'x'.repeat(padding)}\n`;
        assert.match(await paste('huge', recipe(3 << 20)), /at most 1 MiB/);
        assert.ok(!(await menu()).includes('huge (yours)'));

        await browser.evaluate(tab, `(() => { ${fillStorage} })()`);
        assert.equal(await paste('zap', recipe(4096)), '');
        assert.ok((await menu()).includes('zap (yours)'));
        assert.equal(await browser.evaluate(tab, 'document.activeElement.id'), 'kind');
        assert.match(await status(browser, tab), /"zap" is added for this visit only: .*QuotaExceededError/);
        assert.equal(await browser.evaluate(tab, "localStorage.getItem('bleepforge.kinds.v1')"), null);
        assert.deepEqual(tab.errors, []);
    });
});

test('a link to a layered sound is told as one the list does not hold yet, not as damaged', { timeout: 180000 }, async () => {
    await withBrowser(async (browser, url) => {
        const layered = bf.layered('version = 1\n[[layer]]\nkind = "hit"\nseed = 0\n').code;
        const tab = await openPage(browser, `${url}/index.html#${layered}`, 1, { size: kLaptop });
        const said = await status(browser, tab);
        assert.match(said, /a layered sound, which the page's list does not hold yet/);
        assert.doesNotMatch(said, /damaged/);
        assert.deepEqual(await names(browser, tab), []);
        assert.deepEqual(tab.errors, []);
    });
});

test('kinds: the explosion makes a sound of its kind that joins the list with the locks kept; a recipe of the ' +
     'user\'s own is added, kept across a reload and made; a damaged or layered one is refused saying why',
     { timeout: 180000 }, async () => {
    await withBrowser(async (browser, url) => {
        const tab = await openPage(browser, `${url}/index.html`, 1, { size: kLaptop });
        const menu = () => browser.evaluate(tab, "[...document.querySelectorAll('#kind option')].map((o) => [o.textContent, o.disabled])");
        const clickTool = (text) => browser.evaluate(tab,
            `[...document.querySelectorAll('#library button')].find((b) => b.textContent === ${JSON.stringify(text)}).click()`);
        const params = bf.params().map((p) => p.name);
        const value = (code, name) => bf.parse(code).values[params.indexOf(name)];
        assert.deepEqual(await menu(), [['big-explosion (cannot be made)', true], ['explosion', false],
                                        ['level-up (cannot be made)', true]]);

        await pressKey(browser, tab, '1');
        const pickup = await browser.evaluate(tab, 'window.bleepforgePage.sound.current()');
        await browser.evaluate(tab, "[...document.querySelectorAll('#locks input')].find((b) => b.parentElement.textContent === 'crusher').click()");
        await clickTool('Make');
        const shown = await shownList(browser, tab);
        assert.deepEqual(shown.map((s) => [s.name, s.kind]), [['pickup 1', 'pickup'], ['explosion 1', 'explosion']]);
        const boom = await browser.evaluate(tab, 'window.bleepforgePage.sound.current()');
        assert.equal(await browser.evaluate(tab, 'window.bleepforgePage.library.list.item(1).code'), boom);
        assert.equal(value(boom, 'Osc2 Type'), 0);
        assert.ok(value(boom, 'White Level') >= -9 && value(boom, 'White Level') <= -3);
        for (const name of params.filter((n) => n.startsWith('BitCrush ')))
            assert.equal(value(boom, name), value(pickup, name), name);
        assert.deepEqual(await slotBox(browser, tab), { shown: 1, count: 2 });

        // A pasted recipe: a damaged one is refused with its line, a good one added and kept.
        await clickTool('Paste recipe…');
        const paste = async (name, text) => browser.evaluate(tab, `(() => {
            const form = document.querySelector('.recipe-form');
            form.querySelector('input').value = ${JSON.stringify(name)};
            form.querySelector('textarea').value = ${JSON.stringify(text)};
            form.requestSubmit();
            return form.querySelector('.problem').textContent;
        })()`);
        assert.match(await paste('zap', '[params]\n"Osc1 Type" = "Squiggle"\n'), /zap\.toml:2: .*Squiggle/);
        assert.match(await paste('pickup', '[params]\n"Osc1 Type" = "Square"\n'), /a generator has this name/);
        assert.equal(await paste('zap', 'description = "a zap"\n[params]\n"Osc1 Type" = "Square"\n' +
                                        '"Osc1 Octave" = { range = [-1, 1] }\n'), '');
        await reload(browser, tab);
        assert.deepEqual((await menu()).map(([text]) => text), ['big-explosion (cannot be made)', 'explosion',
                                                               'level-up (cannot be made)', 'zap (yours)']);
        await browser.evaluate(tab, "document.getElementById('kind').value = '3'");
        await clickTool('Make');
        assert.deepEqual(await names(browser, tab), ['pickup 1', 'explosion 1', 'zap 1']);
        const zap = await browser.evaluate(tab, 'window.bleepforgePage.sound.current()');
        assert.equal(value(zap, 'Osc1 Type'), 3); // Square
        assert.deepEqual(tab.errors, []);
    });
});
