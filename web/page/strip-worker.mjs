// Renders the waveform strip's sounds in an instance of the module of its
// own, so that the page never waits for a render.
import { Bleepforge } from './bleepforge.mjs';

let ready = null;

// Over every channel: the largest magnitude, the mean and the samples at or
// beyond full scale.
function levelsOf(channels) {
    let peak = 0, sum = 0, clipped = 0, count = 0;
    for (const channel of channels) {
        for (const sample of channel) {
            const magnitude = Math.abs(sample);
            peak = Math.max(peak, magnitude);
            clipped += magnitude >= 1 ? 1 : 0;
            sum += sample;
        }
        count += channel.length;
    }
    return { peak, dcOffset: count > 0 ? sum / count : 0, clipped };
}

function peakOf(channels) {
    return levelsOf(channels).peak;
}

// The sound as Export writes it, and the gain normalising gave it (the
// ratio of its peak to the peak of the sound as it renders).
function render(bf, code, options) {
    const started = performance.now();
    const channels = bf.render(code, options);
    let gain = 1;
    if (options.normalize) {
        const before = peakOf(bf.render(code, { ...options, normalize: '' }));
        gain = before > 0 ? peakOf(channels) / before : 1;
    }
    return { channels, gain, levels: levelsOf(channels), milliseconds: performance.now() - started };
}

self.onmessage = async ({ data }) => {
    if (data.type === 'load') {
        ready = Bleepforge.load({ wasm: data.module });
        return;
    }
    const { id, code, options } = data;
    try {
        const picture = render(await ready, code, options);
        self.postMessage({ id, ...picture }, picture.channels.map((channel) => channel.buffer));
    } catch (error) {
        self.postMessage({ id, error: error.message });
    }
};
