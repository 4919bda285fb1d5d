// The page offline and installable, in headless Chromium: after one visit
// it loads and works with its server stopped, and Chromium finds nothing
// that keeps it from being installed.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { Chromium, serve } from './chromium.mjs';
import { run, webBuild } from './native.mjs';
import { gesture, kPickup, openPage, pressKey, until } from './pagedriver.mjs';

// The page's own files it asked for that its service worker did not keep.
const unkept = `(async () => {
    await navigator.serviceWorker.ready;
    const kept = new Set();
    for (const name of await caches.keys())
        for (const request of await (await caches.open(name)).keys())
            kept.add(new URL(request.url).pathname);
    return performance.getEntriesByType('resource').map((entry) => new URL(entry.name))
        .filter((url) => url.origin === location.origin && !kept.has(url.pathname)).map((url) => url.pathname);
})()`;

test('after one visit the page loads, makes and exports a sound with its server stopped; it is installable',
     { timeout: 180000 }, async () => {
    const folder = mkdtempSync(join(tmpdir(), 'bleepforge-offline-'));
    const server = await serve(webBuild, {});
    const browser = new Chromium();
    try {
        const tab = await openPage(browser, `${server.url}/index.html`, 1);
        const { installabilityErrors } = await browser.send('Page.getInstallabilityErrors', {}, tab.sessionId);
        assert.deepEqual(installabilityErrors, []);
        assert.deepEqual(await browser.evaluate(tab, unkept), []);

        server.close();
        const reloaded = new Promise((resolve) => browser.listeners.push(
            (m) => m.sessionId === tab.sessionId && m.method === 'Page.loadEventFired' && resolve()));
        await browser.send('Page.reload', {}, tab.sessionId);
        await reloaded;
        await browser.evaluate(tab, until('document.body.dataset.ready'));
        await browser.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
        await gesture(browser, tab, [kPickup]);
        assert.equal(await browser.evaluate(tab, 'window.bleepforgePage.editor.kind()'), 'pickup');
        // The strip's worker, and its module, came from what was kept.
        await browser.evaluate(tab, until("/ s +peak /.test(document.getElementById('strip-caption').textContent)"));
        const code = await browser.evaluate(tab, 'window.bleepforgePage.sound.current()');
        await pressKey(browser, tab, 'e', { ctrl: true });
        await browser.evaluate(tab, "document.querySelector('#export-dialog button[type=submit]').click()");
        const said = await browser.evaluate(tab, until("/^Exported /.test(document.getElementById('status').textContent) && document.getElementById('status').textContent"));
        const file = join(folder, said.replace(/^Exported /, ''));
        for (let waited = 0; !existsSync(file); waited += 50) {
            assert.ok(waited < 20000, `no ${file} after 20 s`);
            await new Promise((resolve) => setTimeout(resolve, 50));
        }
        assert.equal(run(['show', file]), run(['show', code]));
        assert.deepEqual(tab.errors.filter((e) => !/ERR_CONNECTION_REFUSED|Failed to load resource/.test(e)), []);
    } finally {
        await browser.close();
        server.close();
        rmSync(folder, { recursive: true, force: true });
    }
});
