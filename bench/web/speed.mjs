// Speed and size of the WebAssembly modules (the page's and a game's
// runtime) beside the native command line, in one run: real-time factors of
// the default and the heavy patch natively, in Node and in headless
// Chromium; the worklet's load at 48 kHz; the gzip size of each file an
// entry loads. Build first: scripts/web, and the native
// command line (BLEEPFORGE_CLI, default build/release/apps/cli/bleepforge).
//   node bench/web/speed.mjs [SECONDS]
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { gzipSync } from 'node:zlib';
import { Bleepforge as Full } from '../../build/web/bleepforge-node.mjs';
import { Bleepforge as Runtime } from '../../build/web/bleepforge-runtime-node.mjs';
import { cli, settingsCode, webBuild, withTempFolder } from '../../tests/web/native.mjs';
import { referenceCases } from '../../tests/web/exactness.mjs';
import { Chromium, serve } from '../../tests/web/chromium.mjs';

const seconds = Number(process.argv[2] ?? 20);
const heavyCase = referenceCases()[1];
// The patches held for the whole length, so that every second is played.
const patches = [
    { name: 'default patch', settings: [], rate: 44100, seed: undefined,
      notes: [{ note: 69, velocity: 127, start: 0, duration: seconds }] },
    { name: 'heavy patch', settings: heavyCase.settings, rate: heavyCase.rate, seed: heavyCase.seed,
      notes: heavyCase.notes.map(([note, velocity, start]) => ({ note, velocity, start, duration: seconds })) },
];

function best(times) {
    return Math.min(...times);
}

function nativeSeconds(patch) {
    return withTempFolder((folder) => {
        const args = ['render', ...patch.settings.flatMap((s) => ['--set', s]), '--rate', String(patch.rate),
                      '--length', String(seconds), ...(patch.seed === undefined ? [] : ['--seed', String(patch.seed)]),
                      ...patch.notes.flatMap((n) => ['--note', `${n.note}:${n.velocity}:${n.start}:${n.duration}`]),
                      '--format', 'float', '-o', join(folder, 'out.wav')];
        return best([0, 1, 2].map(() => {
            const start = process.hrtime.bigint();
            execFileSync(cli, args);
            return Number(process.hrtime.bigint() - start) / 1e9;
        }));
    });
}

function nodeSeconds(bf, patch, code) {
    return best([0, 1, 2].map(() => {
        const start = performance.now();
        bf.render(code, { rate: patch.rate, seed: patch.seed, notes: patch.notes, length: seconds });
        return (performance.now() - start) / 1000;
    }));
}

const page = (entry) => `<!doctype html><meta charset="utf-8"><link rel="icon" href="data:,"><script type="module">
import { Bleepforge } from './${entry}';
window.measure = async (jobs, seconds) => {
    const bf = await Bleepforge.load();
    const out = [];
    for (const { code, options } of jobs) {
        const times = [];
        for (let i = 0; i < 3; ++i) {
            const start = performance.now();
            bf.render(code, options);
            times.push((performance.now() - start) / 1000);
        }
        out.push(Math.min(...times));
    }
    const rate = 48000, frames = rate * seconds;
    const context = new OfflineAudioContext({ numberOfChannels: 2, length: frames, sampleRate: rate });
    const node = await bf.createNode(context, { sound: jobs[0].code,
        notes: [{ type: 'noteOn', note: 69, velocity: 127, frame: 0 }] });
    node.connect(context.destination);
    const start = performance.now();
    await context.startRendering();
    out.push((performance.now() - start) / 1000);
    return out;
};
</script>`;

async function chromiumSeconds(entry, jobs) {
    const server = await serve(webBuild, { '/bench.html': page(entry) });
    const browser = new Chromium();
    try {
        const tab = await browser.open(`${server.url}/bench.html`);
        return await browser.evaluate(tab, `window.measure(${JSON.stringify(jobs)}, ${seconds})`);
    } finally {
        await browser.close();
        server.close();
    }
}

const modules = [
    { name: 'page', bf: await Full.load(), entry: 'bleepforge.mjs',
      files: ['bleepforge-core.wasm', 'bleepforge-core.mjs', 'bleepforge.mjs', 'bleepforge-api.mjs',
              'bleepforge-checks.mjs', 'bleepforge-worklet.js', 'bleepforge-worklet-processor.mjs',
              'bleepforge-worker.js'] },
    { name: 'runtime', bf: await Runtime.load(), entry: 'bleepforge-runtime.mjs',
      files: ['bleepforge-runtime-core.wasm', 'bleepforge-runtime-core.mjs', 'bleepforge-runtime.mjs',
              'bleepforge-api.mjs', 'bleepforge-checks.mjs', 'bleepforge-runtime-worklet.js',
              'bleepforge-worklet-processor.mjs', 'bleepforge-runtime-worker.js'] },
];
const jobs = patches.map((patch) => ({ patch, code: settingsCode(patch.settings) }));
for (const module of modules) {
    module.inChromium = await chromiumSeconds(module.entry, jobs.map(({ patch, code }) => ({
        code, options: { rate: patch.rate, seed: patch.seed, notes: patch.notes, length: seconds } })));
}
console.log(`${seconds} s of audio per render, best of 3; real-time factor = audio seconds / wall seconds`);
console.log('| patch | native CLI | Node, page | Node, runtime | Chromium, page | Chromium, runtime |');
console.log('|---|---|---|---|---|---|');
const factor = (wall) => `${(seconds / wall).toFixed(0)}×`;
jobs.forEach(({ patch, code }, i) => {
    console.log(`| ${patch.name} | ${factor(nativeSeconds(patch))} | ` +
                modules.map(({ bf }) => factor(nodeSeconds(bf, patch, code))).join(' | ') + ' | ' +
                modules.map(({ inChromium }) => factor(inChromium[i])).join(' | ') + ' |');
});
const size = (bytes) => `${(bytes / 1024).toFixed(1)} KiB`;
for (const { name, inChromium, files } of modules) {
    const workletLoad = inChromium[2] / seconds;
    console.log(`${name}: worklet at 48 kHz, default patch, offline in Chromium: ${(100 * workletLoad).toFixed(2)} % ` +
                `of real time (${(1000 * workletLoad * 128 / 48000).toFixed(4)} ms per 128-frame quantum of ` +
                `${(1000 * 128 / 48000).toFixed(3)} ms)`);
    const gzipped = files.map((f) => gzipSync(readFileSync(join(webBuild, f)), { level: 9 }).length);
    console.log(`${name}: | file | gzip |\n|---|---|`);
    files.forEach((f, i) => console.log(`| ${f} | ${size(gzipped[i])} |`));
    console.log(`| all | ${size(gzipped.reduce((n, b) => n + b, 0))} |`);
}
