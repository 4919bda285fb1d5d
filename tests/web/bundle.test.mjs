// A game bundled as games are: its page imports 'bleepforge/runtime', and
// esbuild (then rollup) bundles it for the browser from the package's
// exports, with the runtime's worklet as an entry of its own. The bundles
// hold no Node import, and Chromium plays the bundled page: what it hears
// is what bf.render gives.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { copyFileSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, symlinkSync, writeFileSync }
    from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { webBuild } from './native.mjs';
import { Chromium, serve } from './chromium.mjs';
import { npmTool } from './npmtools.mjs';

const game = `
import { Bleepforge } from 'bleepforge/runtime';
window.played = (async () => {
    const bf = await Bleepforge.load();
    const rate = 48000, frames = 12000, offFrame = 6000;
    const sound = bf.generate('coin', { seed: 7 });
    const context = new OfflineAudioContext({ numberOfChannels: 2, length: frames, sampleRate: rate });
    const node = await bf.createNode(context, { sound, seed: 3, notes: [
        { type: 'noteOn', note: 72, frame: 0 }, { type: 'noteOff', note: 72, frame: offFrame }] });
    node.connect(context.destination);
    const captured = await context.startRendering();
    const expected = bf.render(sound, { rate, seed: 3, length: (frames + 0.5) / rate,
                                        notes: [{ note: 72, start: 0, duration: offFrame / rate }] });
    let differing = 0, peak = 0;
    for (let c = 0; c < 2; ++c) {
        const samples = captured.getChannelData(c);
        for (let i = 0; i < frames; ++i) {
            differing += samples[i] === expected[c][i] ? 0 : 1;
            peak = Math.max(peak, Math.abs(samples[i]));
        }
    }
    return { differing, peak };
})();
`;

const bundlers = {
    esbuild: (folder, out) => execFileSync(npmTool('esbuild'), [
        'game.mjs', 'bleepforge-runtime-worklet=bleepforge/runtime-worklet', '--bundle', '--format=esm', '--platform=browser',
        `--outdir=${out}`, '--entry-names=[name]'], { cwd: folder, stdio: 'pipe' }),
    rollup: (folder, out) => {
        writeFileSync(join(folder, 'rollup.config.mjs'), `
            import { nodeResolve } from '@rollup/plugin-node-resolve';
            export default {
                input: { game: 'game.mjs', 'bleepforge-runtime-worklet': 'bleepforge/runtime-worklet' },
                output: { dir: ${JSON.stringify(out)}, format: 'es', entryFileNames: '[name].js' },
                plugins: [nodeResolve({ browser: true })],
            };`);
        execFileSync(npmTool('rollup'), ['-c', 'rollup.config.mjs'], { cwd: folder, stdio: 'pipe' });
    },
};

for (const [name, bundle] of Object.entries(bundlers)) {
    test(`a game bundled with ${name} holds no Node import and plays in Chromium`, { timeout: 120000 },
         async () => {
        const folder = mkdtempSync(join(tmpdir(), 'bleepforge-bundle-'));
        try {
            mkdirSync(join(folder, 'node_modules'));
            symlinkSync(webBuild, join(folder, 'node_modules', 'bleepforge'));
            // rollup's resolver is found beside the tools.
            symlinkSync(join(npmTool('rollup'), '..', '..', '@rollup'), join(folder, 'node_modules', '@rollup'));
            writeFileSync(join(folder, 'game.mjs'), game);
            const out = join(folder, 'site');
            bundle(folder, out);
            for (const file of readdirSync(out))
                assert.doesNotMatch(readFileSync(join(out, file), 'utf8'), /["']node:/, file);
            copyFileSync(join(webBuild, 'bleepforge-runtime-core.wasm'), join(out, 'bleepforge-runtime-core.wasm'));
            const gameFile = readdirSync(out).find((file) => file.startsWith('game.'));
            writeFileSync(join(out, 'index.html'), `<!doctype html><meta charset="utf-8"><link rel="icon" href="data:,">
                <script type="module" src="./${gameFile}"></script>`);
            const server = await serve(out, {});
            const browser = new Chromium();
            try {
                const tab = await browser.open(`${server.url}/index.html`);
                const played = await browser.evaluate(tab, 'window.played');
                assert.deepEqual(tab.errors, []);
                assert.ok(played.peak > 0.01, `nothing audible (peak ${played.peak})`);
                assert.equal(played.differing, 0);
            } finally {
                await browser.close();
                server.close();
            }
        } finally {
            rmSync(folder, { recursive: true, force: true });
        }
    });
}

// A Worker that cannot start (its file left out, or bundled as a script
// where import.meta has no URL) fails a player's ready and every render
// with an error naming its file, instead of leaving them pending.
const brokenWorkerGame = (entry) => `
import { Bleepforge } from '${entry}';
const outcome = (promise) => Promise.race([
    promise.then(() => 'resolved', (error) => 'rejected: ' + error.message),
    new Promise((resolve) => setTimeout(() => resolve('pending'), 10000))]);
window.outcomes = (async () => {
    const bf = await Bleepforge.load();
    const player = bf.player('coin', { seed: 5 });
    const sound = bf.generate('coin', { seed: 7 });
    const first = await outcome(Promise.all([player.ready, bf.renderAsync(sound)]).then(() => {}));
    return [first, await outcome(player.ready), await outcome(bf.renderAsync(sound)), await outcome(bf.wavAsync(sound))];
})();
`;

const entries = [
    { entry: 'bleepforge/runtime', worker: 'bleepforge-runtime-worker', wasm: 'bleepforge-runtime-core.wasm' },
    { entry: 'bleepforge', worker: 'bleepforge-worker', wasm: 'bleepforge-core.wasm' },
];

for (const { entry, worker, wasm } of entries) {
    test(`a game over ${entry} whose Worker cannot start is told so by every render`, { timeout: 180000 },
         async () => {
        const folder = mkdtempSync(join(tmpdir(), 'bleepforge-bundle-'));
        const esbuild = (...args) => execFileSync(npmTool('esbuild'), ['--bundle', '--platform=browser', ...args],
                                                  { cwd: folder, stdio: 'pipe' });
        try {
            mkdirSync(join(folder, 'node_modules'));
            symlinkSync(webBuild, join(folder, 'node_modules', 'bleepforge'));
            writeFileSync(join(folder, 'game.mjs'), brokenWorkerGame(entry));
            const sites = { missing: join(folder, 'missing'), script: join(folder, 'script') };
            for (const site of Object.values(sites)) {
                esbuild('game.mjs', '--format=esm', `--outdir=${site}`);
                copyFileSync(join(webBuild, wasm), join(site, wasm));
                writeFileSync(join(site, 'index.html'), `<!doctype html><meta charset="utf-8">
                    <link rel="icon" href="data:,"><script type="module" src="./game.js"></script>`);
            }
            esbuild(`bleepforge/${worker.replace('bleepforge-', '')}`, `--outfile=${join(sites.script, worker + '.js')}`);
            const server = await serve(folder, {});
            const browser = new Chromium();
            try {
                for (const site of Object.keys(sites)) {
                    const tab = await browser.open(`${server.url}/${site}/index.html`);
                    const outcomes = await browser.evaluate(tab, 'window.outcomes');
                    for (const outcome of outcomes)
                        assert.match(outcome, new RegExp(`^rejected: the render Worker .*/${worker}\\.js failed`),
                                     `${site}: ${outcomes.join(' | ')}`);
                }
            } finally {
                await browser.close();
                server.close();
            }
        } finally {
            rmSync(folder, { recursive: true, force: true });
        }
    });
}
