// A web game's sounds in headless Chromium, through the runtime entry: the
// longest main-thread task while its six sounds render at load, rendered
// on the main thread (render) and in a Worker (renderAsync); and a player's
// plays once warm: how long play() takes to start a sound, against one
// audio quantum. Build first: scripts/web.
//   node bench/web/game.mjs [PLAYS]
import { webBuild } from '../../tests/web/native.mjs';
import { Chromium, serve } from '../../tests/web/chromium.mjs';

const plays = Number(process.argv[2] ?? 50);

const page = `<!doctype html><meta charset="utf-8"><link rel="icon" href="data:,"><script type="module">
import { Bleepforge } from './bleepforge-runtime.mjs';
const kinds = ['coin', 'laser', 'power-up', 'hurt', 'jump', 'blip'];

// The longest stretch the main thread was busy while work ran: the gaps
// between zero-delay timer ticks, less a tick's own delay.
async function longestTask(work) {
    let last = performance.now(), longest = 0, running = true;
    const tick = () => {
        const now = performance.now();
        longest = Math.max(longest, now - last);
        last = now;
        if (running)
            setTimeout(tick, 0);
    };
    setTimeout(tick, 0);
    const started = performance.now();
    await work();
    const total = performance.now() - started;
    running = false;
    longest = Math.max(longest, performance.now() - last);
    return { longest, total };
}

window.measure = async (plays) => {
    const bf = await Bleepforge.load();
    const context = new AudioContext();
    const sounds = kinds.map((kind) => bf.generate(kind, { seed: 7 }));
    const rate = context.sampleRate;
    await bf.renderAsync(sounds[0], { rate, seed: 1 }); // the Worker started and its module loaded
    const onMain = await longestTask(async () => sounds.map((sound) => bf.render(sound, { rate })));
    const inWorker = await longestTask(() => Promise.all(sounds.map((sound) => bf.renderAsync(sound, { rate }))));
    const player = bf.player('coin', { seed: 3, context });
    const latencies = [];
    for (let i = 0; i < plays; ++i) {
        await player.ready;
        await new Promise((resolve) => setTimeout(resolve, 20));
        const start = performance.now();
        const played = player.play();
        latencies.push(performance.now() - start);
        await played;
    }
    latencies.sort((a, b) => a - b);
    return { onMain, inWorker, rate, latencies };
};
</script>`;

const server = await serve(webBuild, { '/game.html': page });
const browser = new Chromium();
try {
    const tab = await browser.open(`${server.url}/game.html`);
    const { onMain, inWorker, rate, latencies } = await browser.evaluate(tab, `window.measure(${plays})`);
    const ms = (x) => `${x.toFixed(1)} ms`;
    console.log('six sounds rendered at load | longest main-thread task | all rendered after');
    console.log('---|---|---');
    console.log(`render (main thread) | ${ms(onMain.longest)} | ${ms(onMain.total)}`);
    console.log(`renderAsync (Worker) | ${ms(inWorker.longest)} | ${ms(inWorker.total)}`);
    const at = (q) => latencies[Math.min(latencies.length - 1, Math.floor(q * latencies.length))];
    console.log(`\nplayer.play() once warm, ${latencies.length} plays at ${rate} Hz (a quantum is ` +
                `${(1000 * 128 / rate).toFixed(2)} ms): median ${at(0.5).toFixed(3)} ms, ` +
                `95th percentile ${at(0.95).toFixed(3)} ms, most ${latencies.at(-1).toFixed(3)} ms`);
} finally {
    await browser.close();
    server.close();
}
