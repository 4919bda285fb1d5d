// The strip under the editor: the current sound's waveform as Export writes
// it, with its length, its peak, a red mark where samples clip and a warning
// for a DC offset. Renders run in a Worker with a module of its own, once a
// change has settled, the newest request replacing any not yet begun, so a
// dragged knob never waits for one.
import { currentChoices, onChoicesChanged, renderOptions } from './exportchoices.mjs';

const kStripHeight = 72;
const kSettleMs = 120;
const kDcWarning = 0.02; // of full scale
const kGround = 'rgb(26, 28, 33)';
const kWave = 'rgb(115, 217, 140)';
const kClip = 'rgb(217, 38, 38)';

const ratio = () => (window.devicePixelRatio >= 2 ? 2 : 1);

function decibels(gain) {
    return gain > 0 ? 20 * Math.log10(gain) : -Infinity;
}

// As printf's %.1f and %+.1f print them.
function fixed(value, sign = false) {
    if (!Number.isFinite(value))
        return value > 0 ? 'inf' : '-inf';
    return (sign && value >= 0 ? '+' : '') + value.toFixed(1);
}

// The caption's lines: what the sound is, what clips, a DC offset.
function captionOf(picture) {
    if (!picture)
        return { text: 'Rendering…', clipping: '', dc: '' };
    if (picture.error)
        return { text: `Cannot draw the sound: ${picture.error}`, clipping: '', dc: '' };
    const { channels, rate, gain, levels } = picture;
    let text = `${(channels[0].length / rate).toFixed(3)} s   peak ${fixed(decibels(levels.peak))} dBFS`;
    // The player plays the sound as it renders; only the file has this gain.
    if (gain !== 1)
        text += `   exported at ${fixed(decibels(gain), true)} dB`;
    return {
        text,
        clipping: levels.clipped > 0 ? `${levels.clipped} samples clip in the export` : '',
        dc: Math.abs(levels.dcOffset) > kDcWarning ? `DC offset ${fixed(100 * levels.dcOffset)} % of full scale` : '',
    };
}

// Per pixel column the lowest and highest sample of the channels' mean;
// columns with a clipped sample get a red mark.
function drawWave(context, channels, width, height) {
    context.fillStyle = kGround;
    context.fillRect(0, 0, width, height);
    const frames = channels[0].length;
    if (frames === 0)
        return;
    const middle = height / 2, scale = (height - 4) / 2;
    const mean = (i) => channels.reduce((sum, channel) => sum + channel[i], 0) / channels.length;
    for (let x = 0; x < width; ++x) {
        const first = Math.floor(frames * x / width);
        const last = Math.min(frames, Math.max(first + 1, Math.floor(frames * (x + 1) / width)));
        let low = Infinity, high = -Infinity, clipped = false;
        for (let i = first; i < last; ++i) {
            const sample = mean(i);
            low = Math.min(low, sample);
            high = Math.max(high, sample);
            clipped ||= channels.some((channel) => Math.abs(channel[i]) >= 1);
        }
        if (clipped) {
            context.fillStyle = kClip;
            context.fillRect(x, 0, 1, height);
        }
        context.fillStyle = kWave;
        const top = middle - Math.min(high, 1) * scale;
        const bottom = middle - Math.max(low, -1) * scale;
        context.fillRect(x, top, 1, Math.max(1, bottom - top));
    }
}

function element(tag, properties) {
    return Object.assign(document.createElement(tag), properties);
}

class WaveStrip {
    constructor(page) {
        this.page = page;
        this.picture = null;
        this.asked = null;   // the newest request
        this.running = null; // the request the worker renders
        this.timer = 0;
        this.onRendered = []; // (picture, code) for each render shown
        this.makeElements();
    }

    makeElements() {
        this.root = element('div', { id: 'strip', title: 'The sound as Export writes it; click to play it' });
        Object.assign(this.root.style, { position: 'relative', height: `${kStripHeight}px`, cursor: 'pointer' });
        this.canvas = element('canvas');
        Object.assign(this.canvas.style, { width: '100%', height: '100%', display: 'block' });
        const caption = element('div', { className: 'caption' });
        Object.assign(caption.style, { position: 'absolute', left: '3px', top: '2px', font: '11px sans-serif',
                                       display: 'flex', flexDirection: 'column', alignItems: 'flex-start', gap: '1px',
                                       whiteSpace: 'pre', pointerEvents: 'none' });
        const line = (color) => {
            const span = element('span');
            Object.assign(span.style, { color, background: 'rgba(26, 28, 33, 0.8)', padding: '0 3px' });
            return span;
        };
        this.text = line('rgb(230, 230, 230)');
        this.text.id = 'strip-caption';
        this.clipping = line('rgb(255, 89, 89)');
        this.dc = line('rgb(255, 166, 51)');
        Object.assign(this.dc.style, { position: 'absolute', top: `${kStripHeight - 20}px` });
        caption.append(this.text, this.clipping, this.dc);
        this.root.append(this.canvas, caption);
        this.root.addEventListener('click', () => this.page.audio.play(this.page.sound.current()));
        window.matchMedia(`(resolution: ${window.devicePixelRatio}dppx)`).addEventListener('change', () => this.draw());
        // As wide as the page gives it: a column beside the editor, or the window.
        new ResizeObserver(() => this.draw()).observe(this.root);
    }

    // At the first render: a module of its own to load is no work for the
    // page's start.
    startWorker() {
        if (this.worker)
            return;
        this.worker = new Worker(new URL('./strip-worker.mjs', import.meta.url), { type: 'module' });
        this.worker.postMessage({ type: 'load', module: this.page.bf.module });
        this.worker.onmessage = ({ data }) => this.rendered(data);
        this.worker.onerror = (event) => this.rendered({ id: this.running?.id, error: event.message });
    }

    // A render of the current sound once changes have settled.
    follow() {
        clearTimeout(this.timer);
        this.timer = setTimeout(() => this.ask(), kSettleMs);
    }

    ask() {
        const options = renderOptions(currentChoices());
        const id = (this.asked?.id ?? 0) + 1;
        this.asked = { id, code: this.page.sound.current(), options };
        this.send();
    }

    send() {
        if (this.running || !this.asked || this.asked.id === this.picture?.id)
            return;
        this.running = this.asked;
        this.startWorker();
        this.worker.postMessage(this.running);
    }

    // Only the newest request is shown; an earlier one's render gives way to it.
    rendered(data) {
        const done = this.running;
        this.running = null;
        if (done && data.id === this.asked.id) {
            this.picture = { ...data, rate: done.options.rate };
            this.draw();
            for (const listener of this.onRendered)
                listener(this.picture, done.code);
        }
        this.send();
    }

    draw() {
        const scale = ratio();
        this.canvas.width = Math.max(1, this.root.clientWidth) * scale;
        this.canvas.height = kStripHeight * scale;
        const context = this.canvas.getContext('2d');
        const channels = this.picture?.channels ?? [new Float32Array(0)];
        drawWave(context, channels, this.canvas.width, this.canvas.height);
        const caption = captionOf(this.picture);
        for (const name of ['text', 'clipping', 'dc']) {
            this[name].textContent = caption[name];
            this[name].hidden = caption[name] === '';
        }
    }
}

export function install(page) {
    const strip = new WaveStrip(page);
    document.getElementById('status').before(strip.root);
    page.strip = strip;
    page.sound.listen(() => strip.follow());
    onChoicesChanged(() => strip.follow());
    // After the editor is first shown, which comes first.
    requestAnimationFrame(() => setTimeout(() => strip.ask()));
}
