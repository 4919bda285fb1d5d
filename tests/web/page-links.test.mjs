// Links and kept sounds: a URL's fragment opens the sound it holds, exactly;
// the fragment follows the current sound; the slots and the current sound
// survive a reload; damaged links and stores leave a working page with a
// message; the page asks nothing of any other site.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { run, webBuild, withTempFolder } from './native.mjs';
import {
    canvasPixels, differingBytes, gesture, kPickup, loaded, openPage, playedSounds, ready, recordMessages, reload,
    snapshot, snapshotOf, withBrowser,
} from './pagedriver.mjs';

const { Bleepforge } = await import(pathToFileURL(join(webBuild, 'bleepforge-node.mjs')));
const bf = await Bleepforge.load();
const kKept = 'bleepforge.kept.v1';

// A code as the command line's `share` prints it.
function sharedCode(kind, seed) {
    return withTempFolder((folder) => {
        const wav = join(folder, `${kind}.wav`);
        run(['generate', kind, '--seed', String(seed), '-o', wav]);
        return run(['share', wav]).trim();
    });
}

// The pointer over a pressed button and off every control, so that none is
// drawn pressed or highlighted.
async function moveAway(browser, tab, button) {
    const box = await browser.evaluate(tab, `(() => { const b = document.getElementById('editor').getBoundingClientRect(); return { left: b.left, top: b.top }; })()`);
    for (const { x, y } of [button, { x: 2, y: 740 }])
        await browser.send('Input.dispatchMouseEvent', { type: 'mouseMoved', x: box.left + x, y: box.top + y }, tab.sessionId);
}

// What the page shows and keeps, beside its picture.
async function look(browser, tab) {
    const state = await browser.evaluate(tab, `(() => {
        const page = window.bleepforgePage, status = document.getElementById('status');
        return { code: page.sound.current(), slots: page.editor.slots(), hash: location.hash,
                 href: location.href, history: history.length,
                 status: status.textContent, error: status.classList.contains('error') };
    })()`);
    return { ...state, picture: await canvasPixels(browser, tab) };
}

function assertPicture(shown, expected, what) {
    assert.deepEqual([shown.width, shown.height], [expected.width, expected.height], what);
    assert.equal(differingBytes(shown.rgb, expected.rgb), 0, `${what}: the picture differs`);
}

function codeInHash(hash) {
    const { code, error } = bf.core.codeOfLink(decodeURIComponent(hash.slice(1)));
    assert.equal(error, undefined, `the fragment ${hash} holds no sound`);
    return code;
}

test('the link form gives back the very code, is about half as long, and refuses any damage', (t) => {
    const codes = [sharedCode('pickup', 7), sharedCode('random', 3), new bf.core.Editor().code()];
    for (const kind of ['pickup', 'shoot', 'powerup', 'hit', 'jump', 'blip', 'slash', 'random'])
        for (let seed = 1; seed <= 10; ++seed)
            codes.push(bf.generate(kind, { seed }).code);
    let linkLength = 0;
    for (const code of codes) {
        const { link } = bf.core.linkOfCode(code);
        assert.match(link, /^bfz1\.[A-Za-z0-9_-]+$/);
        assert.equal(bf.core.codeOfLink(link).code, code);
        assert.equal(bf.core.codeOfLink(code).code, code, 'a code as `share` prints it');
        linkLength += link.length;
    }
    const average = linkLength / codes.length;
    t.diagnostic(`a code has ${codes[0].length} characters, its link form ${average.toFixed(0)} on average`);
    assert.ok(average < codes[0].length * 0.6);

    // Every character changed to every other, and every cut, is refused.
    const { link } = bf.core.linkOfCode(codes[0]);
    const alphabet = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_';
    const opened = [];
    for (let at = 'bfz1.'.length; at < link.length; ++at) {
        for (const c of alphabet) {
            const damaged = link.slice(0, at) + c + link.slice(at + 1);
            if (damaged !== link && bf.core.codeOfLink(damaged).error === undefined)
                opened.push(damaged);
        }
        if (bf.core.codeOfLink(link.slice(0, at)).error === undefined)
            opened.push(link.slice(0, at));
    }
    for (const damaged of [link + 'A', link + '=', `${link.slice(0, 40)} ${link.slice(40)}`, 'bfz1.', 'bfz2.' + link.slice(5)])
        if (bf.core.codeOfLink(damaged).error === undefined)
            opened.push(damaged);
    assert.deepEqual(opened, []);
});

test('a refused link says apart why it is damaged, in the words the page always showed', () => {
    const code = bf.generate('pickup', { seed: 3 }).code;
    const { link } = bf.core.linkOfCode(code);
    const changed = (text, at) => text.slice(0, at) + (text[at] === 'A' ? 'B' : 'A') + text.slice(at + 1);
    const damaged = [link.slice(0, 60), changed(link, 30), 'bfz1.' + 'A'.repeat(5000), 'bfz1.!!!!',
                     changed(code, 40), code.slice(0, 80) + '*' + code.slice(81)];
    const otherwise = ['hello', 'bfs9:' + code.slice(5), code.slice(0, -8)];
    for (const text of [...damaged, ...otherwise]) {
        const { error, reason, why } = bf.core.codeOfLink(text);
        assert.equal(reason, damaged.includes(text) ? 'damaged' : undefined, `${text.slice(0, 20)}: ${error}`);
        // The page once cut the subject off the message itself.
        const cut = error.replace(/^(the link|sound code) is damaged: /, '');
        assert.equal(reason === 'damaged' ? why : error, cut, text.slice(0, 20));
    }
});

test('a URL with a sound opens it exactly, heard at the first gesture, and the fragment follows each change',
     { timeout: 180000 }, async () => {
    const code = sharedCode('pickup', 7);
    await withBrowser(async (browser, url) => {
        for (const fragment of [code, bf.core.linkOfCode(code).link]) {
            const tab = await openPage(browser, `${url}/index.html#${fragment}`, 1);
            await browser.evaluate(tab, recordMessages);
            const opened = await look(browser, tab);
            assertPicture(opened.picture, snapshotOf(code), fragment.slice(0, 5));
            assert.equal(opened.code, code);
            assert.match(opened.status, /press any key or click to hear it/);
            assert.deepEqual(await browser.evaluate(tab, 'window.sent'), [], 'played before a gesture');
            // The first gesture: a click outside the editor, or a key that plays no note.
            if (fragment === code) {
                for (const type of ['mousePressed', 'mouseReleased'])
                    await browser.send('Input.dispatchMouseEvent', { type, x: 4, y: 880, button: 'left', clickCount: 1 }, tab.sessionId);
            } else {
                for (const type of ['keyDown', 'keyUp'])
                    await browser.send('Input.dispatchKeyEvent', { type, key: 'q', code: 'KeyQ', text: 'q' }, tab.sessionId);
            }
            assert.deepEqual(await browser.evaluate(tab, playedSounds), [code]);
            assert.deepEqual(tab.errors, []);
        }

        const tab = await openPage(browser, `${url}/index.html`, 1);
        const first = await look(browser, tab);
        assert.equal(codeInHash(first.hash), first.code, 'the default sound has a link too');
        for (let press = 0; press < 3; ++press) {
            await gesture(browser, tab, [kPickup]);
            const now = await look(browser, tab);
            assert.notEqual(now.code, first.code);
            assert.equal(codeInHash(now.hash), now.code);
            assert.equal(now.history, first.history, 'each change went into the history');
        }
    });
});

test('Copy link puts a URL on the clipboard that opens the same sound in a new tab, or selects it in a field',
     { timeout: 180000 }, async () => {
    await withBrowser(async (browser, url) => {
        const tab = await openPage(browser, `${url}/index.html`, 1);
        await browser.send('Emulation.setFocusEmulationEnabled', { enabled: true }, tab.sessionId);
        await browser.send('Browser.grantPermissions',
                           { origin: url, permissions: ['clipboardReadWrite', 'clipboardSanitizedWrite'] });
        await gesture(browser, tab, [kPickup]);
        const made = await look(browser, tab);
        const click = `document.querySelector('#toolbar button[title^="Copy a link"]').click()`;
        await browser.evaluate(tab, click);
        const copied = await browser.evaluate(tab, 'navigator.clipboard.readText()');
        assert.equal(copied, made.href);
        assert.match((await look(browser, tab)).status, /Copied a link/);

        const other = await openPage(browser, copied, 1);
        const opened = await look(browser, other);
        assert.equal(opened.code, made.code);
        assertPicture(opened.picture, snapshotOf(made.code), 'the copied link');

        await browser.send('Browser.setPermission', { origin: url, permission: { name: 'clipboard-write' }, setting: 'denied' });
        await browser.send('Browser.setPermission', { origin: url, permission: { name: 'clipboard-read' }, setting: 'denied' });
        await browser.evaluate(tab, click);
        const field = await browser.evaluate(tab, `(() => {
            const field = document.activeElement;
            return { id: field.id, value: field.value, hidden: field.hidden,
                     selected: field.value.slice(field.selectionStart, field.selectionEnd) };
        })()`);
        assert.deepEqual(field, { id: 'link', value: made.href, hidden: false, selected: made.href });
        assert.match((await look(browser, tab)).status, /selected/);
    });
});

test('a damaged link leaves the page at its sound, says so, and puts that sound\'s link in the address bar',
     { timeout: 180000 }, async () => {
    const { link } = bf.core.linkOfCode(sharedCode('pickup', 7));
    const flipped = link.slice(0, 100) + (link[100] === 'A' ? 'B' : 'A') + link.slice(101);
    const code = sharedCode('jump', 2);
    const defaultPicture = snapshot(1);
    await withBrowser(async (browser, url) => {
        const kept = await openPage(browser, `${url}/index.html`, 1);
        const defaultCode = (await look(browser, kept)).code;
        for (const [what, fragment] of [['one character changed', flipped], ['cut short', link.slice(0, 200)],
                                         ['garbage', 'hello%20world'], ['a code cut short', code.slice(0, -8)]]) {
            const tab = await openPage(browser, `${url}/index.html#${fragment}`, 1);
            const shown = await look(browser, tab);
            assertPicture(shown.picture, defaultPicture, what);
            assert.equal(shown.code, defaultCode, what);
            assert.ok(shown.error && /link is damaged/.test(shown.status), `${what}: ${shown.status}`);
            assert.equal(codeInHash(shown.hash), defaultCode, what);
            assert.deepEqual(tab.errors, [], what);
        }

        // Pasted into the same tab: a good link opens, a damaged one keeps the sound.
        await browser.send('Page.bringToFront', {}, kept.sessionId);
        await browser.evaluate(kept, `location.hash = ${JSON.stringify(code)}`);
        await browser.evaluate(kept, `new Promise((resolve) => setTimeout(resolve, 100))`);
        const pasted = await look(browser, kept);
        assert.equal(pasted.code, code);
        assertPicture(pasted.picture, snapshotOf(code), 'a pasted link');
        assert.equal(codeInHash(pasted.hash), code);
        await browser.evaluate(kept, `location.hash = ${JSON.stringify(flipped)}`);
        await browser.evaluate(kept, `new Promise((resolve) => setTimeout(resolve, 100))`);
        const refused = await look(browser, kept);
        assert.equal(refused.code, code);
        assert.match(refused.status, /link is damaged/);
        assert.equal(codeInHash(refused.hash), code);
    });
});

test('the status line tells one outcome at a time: a good link replaces a damaged one\'s message, and is replaced',
     { timeout: 180000 }, async () => {
    const { link } = bf.core.linkOfCode(sharedCode('pickup', 7));
    const damaged = link.slice(0, 100) + (link[100] === 'A' ? 'B' : 'A') + link.slice(101);
    const [jump, hit] = [sharedCode('jump', 2), sharedCode('hit', 4)];
    await withBrowser(async (browser, url) => {
        const tab = await openPage(browser, `${url}/index.html#${damaged}`, 1);
        const steps = [[jump, /^Opened a shared sound: press any key or click to hear it\.$/, false],
                       [hit, /^Opened a shared sound: press any key or click to hear it\.$/, false],
                       [damaged, /^This link is damaged \([^)]*\), so the page shows the sound it had\. Ask for the link again\.$/, true],
                       [jump, /^Opened a shared sound/, false]];
        for (const [fragment, message, error] of steps) {
            await browser.evaluate(tab, `location.hash = ${JSON.stringify(fragment)}`);
            await browser.evaluate(tab, `new Promise((resolve) => setTimeout(resolve, 100))`);
            const shown = await look(browser, tab);
            assert.match(shown.status, message);
            assert.equal(shown.error, error, shown.status);
        }
        // The first gesture hears the sound and takes back how to hear it.
        await gesture(browser, tab, [{ x: 4, y: 4 }]);
        assert.equal((await look(browser, tab)).status, '');
        await browser.evaluate(tab, `location.hash = ${JSON.stringify(hit)}`);
        await browser.evaluate(tab, `new Promise((resolve) => setTimeout(resolve, 100))`);
        assert.equal((await look(browser, tab)).status, 'Opened the sound in the link.');
        assert.deepEqual(tab.errors, []);
    });
});

test('a damaged kept record is named short in the message, and a link opened at the start is told beside it',
     { timeout: 180000 }, async () => {
    const code = sharedCode('hit', 4);
    const record = JSON.stringify({ version: 'v'.repeat(1024 * 1024), sound: code, slots: { shown: 0, values: [] } });
    await withBrowser(async (browser, url) => {
        for (const fragment of ['', `#${code}`]) {
            const seed = await browser.open(`${url}/empty.html`);
            await browser.evaluate(seed, `localStorage.clear(); localStorage.setItem('${kKept}', ${JSON.stringify(record)})`);
            const tab = await openPage(browser, `${url}/index.html${fragment}`, 1);
            const shown = await look(browser, tab);
            assert.ok(shown.error, shown.status);
            assert.ok(shown.status.length < 400, `${shown.status.length} characters`);
            assert.match(shown.status, /its version "v{39}… is not 1/);
            assert.equal(/Opened a shared sound/.test(shown.status), fragment !== '', shown.status);
            assert.deepEqual(tab.errors, []);
        }
    });
});

test('a reload keeps the slots and the current sound; a link wins over the kept sound', { timeout: 180000 }, async () => {
    const code = sharedCode('hit', 4);
    await withBrowser(async (browser, url) => {
        const tab = await openPage(browser, `${url}/index.html`, 1);
        for (let press = 0; press < 3; ++press)
            await gesture(browser, tab, [kPickup]);
        await moveAway(browser, tab, kPickup);
        const made = await look(browser, tab);
        assert.equal(made.slots.values.length, 3);
        assert.equal(made.slots.shown, 2);
        await reload(browser, tab);
        const back = await look(browser, tab);
        assert.deepEqual(back.slots, made.slots);
        assert.equal(back.code, made.code);
        assertPicture(back.picture, made.picture, 'after a reload');
        assert.equal(back.status, '', 'a reload is no news');

        // Without a link the kept sound is shown; with one the link's, which joins the kept list.
        const plain = await openPage(browser, `${url}/index.html`, 1);
        const kept = await look(browser, plain);
        assert.equal(kept.code, made.code);
        assert.deepEqual(kept.slots, made.slots);
        assert.equal(codeInHash(kept.hash), made.code);
        assert.equal(kept.status, '', 'a restored sound is no news');
        const linked = await openPage(browser, `${url}/index.html#${code}`, 1);
        const opened = await look(browser, linked);
        assert.equal(opened.code, code);
        assert.deepEqual(opened.slots.values.slice(0, 3), made.slots.values);
        assert.deepEqual([opened.slots.shown, opened.slots.values.length], [3, 4]);
        assert.deepEqual([...tab.errors, ...plain.errors, ...linked.errors], []);
    });
});

test('a store the page cannot read is set aside under its own key, with a message, and the page starts afresh',
     { timeout: 180000 }, async () => {
    const good = JSON.stringify({ version: 1, sound: sharedCode('blip', 5),
                                  slots: { shown: 0, values: [Array(60).fill(0.5)] } });
    const defaultPicture = snapshot(1);
    const cases = [
        ['not JSON', good.slice(0, -10)],
        ['an unknown version', good.replace('"version":1', '"version":2')],
        ['a slot value out of range', good.replace('0.5', '1.5')],
        ['a slot cut short', good.replace('0.5,', '')],
        ['a damaged sound', good.replace('bfs1:A', 'bfs1:B')],
    ];
    await withBrowser(async (browser, url) => {
        for (const [what, text] of cases) {
            // Stored by a page of the same site that keeps nothing itself.
            const seed = await browser.open(`${url}/empty.html`);
            await browser.evaluate(seed, `localStorage.clear(); localStorage.setItem('${kKept}', ${JSON.stringify(text)})`);
            const tab = await openPage(browser, `${url}/index.html`, 1);
            const shown = await look(browser, tab);
            assertPicture(shown.picture, defaultPicture, what);
            assert.deepEqual(shown.slots, { shown: 0, values: [] }, what);
            assert.ok(shown.error && /keeps them aside/.test(shown.status), `${what}: ${shown.status}`);
            const aside = await browser.evaluate(tab, `Object.keys(localStorage)
                .filter((key) => key.startsWith('bleepforge.kept.damaged-')).map((key) => localStorage.getItem(key))`);
            assert.deepEqual(aside, [text], what);
            assert.deepEqual(tab.errors, [], what);

            // The next change is kept again, and a reload then says nothing.
            await gesture(browser, tab, [kPickup]);
            await reload(browser, tab);
            const afresh = await look(browser, tab);
            assert.equal(afresh.slots.values.length, 1, what);
            assert.equal(afresh.status, '', what);
        }
    });
});

test('a browser that refuses storage gets a message and a page that works', { timeout: 180000 }, async () => {
    const refusals = [
        ['full', `Storage.prototype.setItem = function () { throw new DOMException('full', 'QuotaExceededError'); };`,
         /refused to keep your sounds \(QuotaExceededError\)/],
        ['blocked', `Object.defineProperty(window, 'localStorage', { get() { throw new DOMException('no', 'SecurityError'); } });`,
         /keeps no data for this page/],
    ];
    await withBrowser(async (browser, url) => {
        for (const [what, script, message] of refusals) {
            const tab = await browser.open('about:blank', { deviceScaleFactor: 1 });
            await browser.send('Page.addScriptToEvaluateOnNewDocument', { source: script }, tab.sessionId);
            const done = loaded(browser, tab);
            await browser.send('Page.navigate', { url: `${url}/index.html` }, tab.sessionId);
            await browser.within(done, 'loading');
            await ready(browser, tab);
            const before = await look(browser, tab);
            await gesture(browser, tab, [kPickup]);
            await browser.evaluate(tab, `new Promise((resolve) => setTimeout(resolve, 600))`);
            const after = await look(browser, tab);
            assert.ok(differingBytes(before.picture.rgb, after.picture.rgb) > 0, `${what}: the editor stays`);
            assert.equal(codeInHash(after.hash), after.code, what);
            assert.ok(after.error && message.test(after.status), `${what}: ${after.status}`);
            assert.deepEqual(tab.errors, [], what);
        }
    });
});

test('the page asks for nothing but its own files', { timeout: 180000 }, async () => {
    await withBrowser(async (browser, url) => {
        const tab = await browser.open('about:blank', { deviceScaleFactor: 1 });
        // The page's requests, and its workers' and worklets': each waits to
        // start until its requests are watched, else its first ones may pass unseen.
        const requested = [];
        browser.listeners.push((m) => {
            if (m.method === 'Network.requestWillBeSent')
                requested.push(m.params.request.url);
            else if (m.method === 'Target.attachedToTarget')
                browser.send('Network.enable', {}, m.params.sessionId)
                    .then(() => browser.send('Runtime.runIfWaitingForDebugger', {}, m.params.sessionId)).catch(() => {});
        });
        await browser.send('Target.setAutoAttach', { autoAttach: true, waitForDebuggerOnStart: true, flatten: true },
                           tab.sessionId);
        await browser.send('Network.enable', {}, tab.sessionId);
        const done = loaded(browser, tab);
        await browser.send('Page.navigate', { url: `${url}/index.html` }, tab.sessionId);
        await browser.within(done, 'loading');
        await ready(browser, tab);
        // The first gesture starts the audio, which loads the worklet.
        await browser.evaluate(tab, recordMessages);
        await gesture(browser, tab, [kPickup]);
        await browser.evaluate(tab, playedSounds);
        await browser.evaluate(tab, 'window.bleepforgePage.audio.ready');
        const origin = new URL(url).origin;
        const elsewhere = requested.filter((address) => !address.startsWith('data:') && new URL(address).origin !== origin);
        assert.deepEqual(elsewhere, []);
        // Seen at all: the page's files, and the imports of the core by the
        // page, the strip's worker and the worklet.
        assert.equal(requested.filter((address) => address.endsWith('/bleepforge-core.mjs')).length, 3);
        for (const file of ['index.html', 'page.mjs', 'bleepforge-core.wasm'])
            assert.ok(requested.some((address) => address.endsWith(`/${file}`)), `${file} was not seen: ${requested}`);
    });
});
