// Bleepforge in JavaScript: make, open, play and save sounds, over either
// module (the page's fuller one or a game's runtime). The entries
// (bleepforge.mjs, bleepforge-runtime.mjs and their Node twins) say which
// module, where its files are, and how a file is read.
import { liveMessageRefusal, shortened, unknownName } from './bleepforge-checks.mjs';

const KIND_ALIASES = {
    coin: 'pickup', laser: 'shoot', 'power-up': 'powerup', hurt: 'hit', blips: 'blip',
    randomize: 'random',
};
const SOUND_CHUNK = 'bfst';

// In Node a text without a scheme (or with a one-letter one, a Windows drive)
// is a file's path, absolute or from the working folder.
function isPath(wasm) {
    return typeof wasm === 'string' && !/^[a-z][a-z0-9+.-]+:/i.test(wasm);
}

// readFile is the Node entry's; a browser's build has none, and fetches.
async function wasmBytes(wasm, files) {
    if (wasm instanceof ArrayBuffer || ArrayBuffer.isView(wasm))
        return wasm;
    const url = wasm ?? files.wasm;
    if (files.readFile && (isPath(url) || String(url).startsWith('file:')))
        return files.readFile(isPath(url) ? url : new URL(url));
    const response = await fetch(url);
    if (!response.ok)
        throw new Error(`cannot load ${url}: ${response.status} ${response.statusText}`);
    return response.arrayBuffer();
}

// The module's codes for options, where the package names them otherwise.
const OPTION_NAMES = { note: 'notes' };

// A refusal of an option's value is worded with the package's name for it.
function answered(result) {
    if (result.error === undefined)
        return result;
    if (result.option === undefined)
        throw new Error(result.error);
    const given = result.given === undefined ? '' : ` '${shortened(result.given)}'`;
    throw new RangeError(`${OPTION_NAMES[result.option] ?? result.option}${given}: ${result.error}`);
}

function canonicalKind(kind) {
    const lower = String(kind).toLowerCase();
    return Object.hasOwn(KIND_ALIASES, lower) ? KIND_ALIASES[lower] : lower;
}

function wholeNumber(value, min, max, what) {
    if (!Number.isInteger(value) || value < min || value > max)
        throw new RangeError(`${what}: expected a whole number ${min} ... ${max}`);
    return value;
}

const LAYERS_OWN = 'seed, notes: the layers of a layered sound have their own sounds, notes and seeds';
const RENDER_OPTIONS = ['rate', 'channels', 'block', 'seed', 'notes', 'length', 'normalize'];
const WAV_OPTIONS = [...RENDER_OPTIONS, 'format', 'comment'];
const NOTE_NAMES = ['note', 'velocity', 'start', 'duration'];

function isObject(value) {
    return value !== null && typeof value === 'object' && !Array.isArray(value);
}

// Options are an object of known names; a number or a misspelt name in their
// place would otherwise be ignored without a word.
function optionsOf(options, known) {
    if (!isObject(options))
        throw new TypeError(`expected the options as an object (known: ${known.join(', ')})`);
    const unknown = unknownName(options, known);
    if (unknown)
        throw new RangeError(unknown);
    return options;
}

// A list of notes, each an object of known names (`refusal` says what is
// wrong with one beyond that, or '').
function notesOf(notes, example, refusal) {
    if (!Array.isArray(notes))
        throw new TypeError(`notes: expected a list of notes, such as [${example}]`);
    notes.forEach((note, i) => {
        const why = isObject(note) ? refusal(note) : `expected a note such as ${example}`;
        if (why)
            throw new RangeError(`notes[${i}]: ${why}`);
    });
    return notes;
}

const renderNotesOf = (notes) => notesOf(notes, '{ note: 60 }', (note) => unknownName(note, NOTE_NAMES, 'key'));
const liveNotesOf = (notes) => notesOf(notes, "{ type: 'noteOn', note: 60 }", (note) =>
    ['noteOn', 'noteOff'].includes(note.type) ? liveMessageRefusal(note) : "expected type 'noteOn' or 'noteOff'");

function codeOf(sound) {
    if (typeof sound === 'string')
        return sound;
    if (sound && typeof sound.code === 'string')
        return sound.code;
    throw new TypeError('expected a sound (from generate or parse) or a sound code');
}

const LAYERED_PREFIX = 'bfl1:';

// A layered sound: its code, its TOML text, or what bf.layered answers. A
// text is TOML when it is no sound code and has what every TOML text has
// (a key, a table or a second line), so that one without layers is refused
// as a layered text is.
function isLayered(sound) {
    if (isObject(sound) && typeof sound.code === 'string')
        return sound.code.startsWith(LAYERED_PREFIX);
    if (typeof sound !== 'string')
        return false;
    const text = sound.trimStart();
    return text.startsWith(LAYERED_PREFIX) || (!/^[a-z0-9]+:/i.test(text) && /[=[\n]/.test(text));
}

function layeredTextOf(sound) {
    return typeof sound === 'string' ? sound : sound.code;
}

function roundHalfEven(x) {
    const r = Math.round(x);
    return Math.abs(x - Math.trunc(x)) === 0.5 && r % 2 !== 0 ? r - 1 : r;
}

// The whole number a pcm16 or pcm24 file stores for a sample, as the command
// line's writer stores it: the nearest step, an exact half to the even one,
// held to the format's range; a NaN is silence.
function pcm(x, bits) {
    const top = 2 ** (bits - 1);
    if (Number.isNaN(x))
        return 0;
    return roundHalfEven(Math.min(Math.max(x * top, -top), top - 1));
}

// Bytes per sample of each format, and how one is stored.
const SAMPLE_FORMATS = {
    pcm16: { bytes: 2, code: 1, store: (view, at, x) => view.setInt16(at, pcm(x, 16), true) },
    pcm24: {
        bytes: 3, code: 1,
        store: (view, at, x) => {
            const value = pcm(x, 24);
            view.setUint16(at, value & 0xffff, true);
            view.setInt8(at + 2, value >> 16);
        },
    },
    float: { bytes: 4, code: 3, store: (view, at, x) => view.setFloat32(at, x, true) },
};

function ascii(text) {
    return new TextEncoder().encode(text);
}

function uint32(value) {
    const bytes = new Uint8Array(4);
    new DataView(bytes.buffer).setUint32(0, value, true);
    return bytes;
}

// A RIFF chunk: id, little-endian size, data, a pad byte to an even size.
function chunk(id, data) {
    return concat([ascii(id), uint32(data.length), data, new Uint8Array(data.length & 1)]);
}

// Bytes padded with NULs to a multiple of `align`: text as the command line's
// sound-file library stores it, the comment ended by a NUL and padded to two
// bytes, the sound chunk padded to four (no NUL when its length is a
// multiple of four already).
function padded(bytes, align) {
    const out = new Uint8Array(Math.ceil(bytes.length / align) * align);
    out.set(bytes);
    return out;
}

function concat(parts) {
    const out = new Uint8Array(parts.reduce((n, p) => n + p.length, 0));
    let at = 0;
    for (const part of parts) {
        out.set(part, at);
        at += part.length;
    }
    return out;
}

// The chunks in the order the command line's files have them, so that the
// same sound and samples make the same bytes.
function wavBytes(channels, rate, format, code, comment) {
    const { bytes: bytesPerSample, code: formatCode, store } = SAMPLE_FORMATS[format];
    const float = format === 'float';
    const frames = channels[0].length;
    const fmt = new DataView(new ArrayBuffer(16));
    fmt.setUint16(0, formatCode, true);
    fmt.setUint16(2, channels.length, true);
    fmt.setUint32(4, rate, true);
    fmt.setUint32(8, rate * channels.length * bytesPerSample, true);
    fmt.setUint16(12, channels.length * bytesPerSample, true);
    fmt.setUint16(14, 8 * bytesPerSample, true);
    const samples = new DataView(new ArrayBuffer(frames * channels.length * bytesPerSample));
    for (let i = 0, at = 0; i < frames; ++i) {
        for (const channel of channels) {
            store(samples, at, channel[i]);
            at += bytesPerSample;
        }
    }
    const body = concat([
        ascii('WAVE'), chunk('fmt ', new Uint8Array(fmt.buffer)),
        float ? chunk('fact', uint32(frames)) : new Uint8Array(0),
        chunk('LIST', concat([ascii('INFO'), chunk('ICMT', padded(ascii(`${comment}\0`), 2))])),
        chunk(SOUND_CHUNK, padded(ascii(code), 4)),
        chunk('data', new Uint8Array(samples.buffer)),
    ]);
    return concat([ascii('RIFF'), uint32(body.length), body]);
}

// An Error whose `reason` says what kind of refusal it is, for those who
// word it otherwise.
function refusal(message, reason) {
    return Object.assign(new Error(message), { reason });
}

// The sound code a WAV carries in its own chunk; null when it has none.
// What is no WAV is refused with reason 'not-wav'.
function codeInWav(bytes) {
    const data = bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes);
    const view = new DataView(data.buffer, data.byteOffset, data.byteLength);
    const text = (at, n) => String.fromCharCode(...data.subarray(at, at + n));
    if (data.length < 12 || text(0, 4) !== 'RIFF' || text(8, 4) !== 'WAVE')
        throw refusal('not a WAV file', 'not-wav');
    for (let at = 12; at + 8 <= data.length;) {
        const size = view.getUint32(at + 4, true);
        if (size > data.length - at - 8)
            throw refusal('the WAV file is cut short', 'not-wav');
        if (text(at, 4) === SOUND_CHUNK)
            return new TextDecoder().decode(data.subarray(at + 8, at + 8 + size)).replace(/\0.*$/s, '');
        at += 8 + size + (size & 1);
    }
    return null;
}

// What an entry loads: its module's JavaScript, and its .wasm, worklet and
// Worker files by name, found beside this file.
export function filesOf(createCore, wasm, worklet, worker) {
    return { createCore, wasm: new URL(`./${wasm}`, import.meta.url),
             worklet: new URL(`./${worklet}`, import.meta.url), worker: new URL(`./${worker}`, import.meta.url) };
}

// The class over one module. files: createCore (the module's JavaScript),
// wasm and worklet (URLs of its .wasm and of the worklet over it), and in
// Node readFile.
export function bleepforgeOver(files) {
    const { createCore } = files;
    class Bleepforge extends BleepforgeCalls {
        // Loads the module; `wasm` may be the .wasm's URL or its bytes (the
        // default is the file beside the entry).
        // A compiled module (bf.module) makes another instance without fetching,
        // for a Worker of its own.
        static async load(options = {}) {
            const { wasm } = optionsOf(options, ['wasm']);
            const module = wasm instanceof WebAssembly.Module ? wasm
                                                              : await WebAssembly.compile(await wasmBytes(wasm, files));
            const core = await createCore({
                instantiateWasm(imports, receive) {
                    WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module));
                    return {};
                },
            });
            return new Bleepforge(core, module, files);
        }
    }
    return Bleepforge;
}

const PLAYER_OPTIONS = ['seed', 'context', 'ahead', 'rate', 'channels', 'normalize'];
const SOURCE_NAMES = ['kind', 'sound', 'lock', 'pitch', 'mutation'];

// A player's source: a kind's name, a sound (its code, or from generate or
// parse), or { kind, sound, lock, pitch, mutation }.
function sourceOf(source) {
    if (isLayered(source))
        return { sound: source };
    if (typeof source === 'string')
        return source.includes(':') ? { sound: source } : { kind: source };
    if (isObject(source) && typeof source.code === 'string')
        return { sound: source };
    if (!isObject(source))
        throw new TypeError("expected a kind, a sound or { kind, sound, lock, pitch, mutation }");
    const unknown = unknownName(source, SOURCE_NAMES, 'source key');
    if (unknown)
        throw new RangeError(unknown);
    return source;
}

// An AudioBuffer of the channels, made when they are rendered so that a
// play only starts it.
function bufferOf(channels, sampleRate) {
    const buffer = new AudioBuffer({ numberOfChannels: channels.length, length: channels[0].length, sampleRate });
    channels.forEach((channel, c) => buffer.copyToChannel(channel, c));
    return buffer;
}

// A single sound's plays, drawn by the module: each { play, code, options }
// (what render takes besides the player's own options).
function soundSequence(bf, number) {
    return {
        next() {
            const { index, seed, code, note, velocity, start, duration } = answered(bf.core.nextPlay(number));
            const notes = [{ note, velocity, start, duration }];
            return { play: { index, seed, sound: bf.parse(code), notes }, code, options: { seed, notes } };
        },
        close: () => bf.core.closeSequence(number),
    };
}

// A layered sound's plays: its layers carry their seeds and notes.
function layeredSequence(bf, number) {
    return {
        next() {
            const { index, code } = answered(bf.core.nextLayeredPlay(number));
            return { play: { index, sound: bf.layered(code) }, code, options: {} };
        },
        close: () => bf.core.closeLayeredSequence(number),
    };
}

// Plays a fresh variation of its source on every play, never the same sound
// twice in a row; a seeded player plays the same sequence on every machine.
// The next `ahead` plays render in the instance's Worker while the page
// runs, so that once warm, play() starts a sound at the call.
class Player {
    #bf;
    #sequence;
    #context;
    #render;
    #ahead;
    #coming = []; // the next plays, each { play, ready, and once rendered channels and (with a context) buffer }

    constructor(bf, sequence, { context, ahead, render }) {
        this.#bf = bf;
        this.#sequence = sequence;
        this.#context = context;
        this.#ahead = ahead;
        this.#render = render;
        this.#fill();
    }

    // Resolves once the next play is rendered: play() then starts at once.
    get ready() {
        return this.#coming[0].ready.then(() => undefined);
    }

    // The next play and its samples: { index, seed, sound, notes, channels }.
    async next() {
        const coming = this.#take();
        await coming.ready;
        return { ...coming.play, channels: coming.channels };
    }

    // Plays the next play into the context's destination (or `destination`):
    // at once when it is rendered, else as soon as it is. Resolves to the
    // play and the AudioBufferSourceNode playing it.
    play({ destination } = {}) {
        const context = this.#context;
        if (context === undefined)
            throw new TypeError('play: the player has no context; give one, or take the samples with next()');
        const coming = this.#take();
        const start = () => {
            const node = new AudioBufferSourceNode(context, { buffer: coming.buffer });
            node.connect(destination ?? context.destination);
            node.start();
            return { ...coming.play, node };
        };
        return coming.channels ? Promise.resolve(start()) : coming.ready.then(start);
    }

    // Ends the sequence; the player plays no more.
    close() {
        this.#sequence?.close();
        this.#sequence = null;
        this.#coming = [];
    }

    // The next play; the plays after it are drawn once the caller has
    // started this one, since drawing one makes an instrument.
    #take() {
        if (this.#sequence === null)
            throw new Error('the player is closed');
        if (this.#coming.length === 0)
            this.#fill();
        const coming = this.#coming.shift();
        setTimeout(() => this.#fill(), 0);
        return coming;
    }

    #fill() {
        while (this.#sequence !== null && this.#coming.length < this.#ahead) {
            const { play, code, options } = this.#sequence.next();
            const coming = { play, channels: null };
            coming.ready = this.#bf.renderAsync(code, { ...this.#render, ...options })
                .then((channels) => {
                    coming.channels = channels;
                    if (this.#context !== undefined)
                        coming.buffer = bufferOf(channels, this.#render.rate);
                });
            // A play rendered ahead that fails is told to whoever takes it;
            // until then its refusal is no unhandled error of the process.
            coming.ready.catch(() => {});
            this.#coming.push(coming);
        }
    }
}

// Errors a Worker sends back keep their class, for callers that tell a
// RangeError from a TypeError.
const ERROR_CLASSES = { RangeError, TypeError };

// Answers a page's renderAsync and wavAsync in a Worker, over the
// Bleepforge class of the worker's entry.
export function serveRenders(Bleepforge) {
    let ready = null;
    self.onmessage = async ({ data }) => {
        if (data.type === 'load') {
            ready = Bleepforge.load({ wasm: data.module });
            return;
        }
        const { id, call, sound, options } = data;
        try {
            const bf = await ready;
            const result = call === 'wav' ? bf.wav(sound, options) : bf.render(sound, options);
            const buffers = call === 'wav' ? [result.buffer] : result.map((channel) => channel.buffer);
            self.postMessage({ id, result }, buffers);
        } catch (error) {
            self.postMessage({ id, error: { name: error.name, message: error.message, reason: error.reason } });
        }
    };
}

class BleepforgeCalls {
    #worker = null;
    #failed = null; // why the Worker stopped, until close(): every later call is refused with it
    #waiting = new Map(); // id: the promise's resolve and reject
    #nextId = 0;

    constructor(core, module, files) {
        this.core = core;
        this.module = module;
        this.files = files;
    }

    // render, off the main thread: the same samples, rendered in a Worker of
    // this instance's own (in the calling thread where there is no Worker,
    // as in Node), so that a page never waits for them.
    renderAsync(sound, options = {}) {
        return this.#inWorker('render', sound, options);
    }

    // wav, off the main thread, as renderAsync.
    wavAsync(sound, options = {}) {
        return this.#inWorker('wav', sound, options);
    }

    // Ends the Worker, if one was started; a later call starts another.
    close() {
        this.#worker?.terminate();
        this.#worker = null;
        this.#failed = null;
        this.#rejectWaiting(new Error('closed before the render ended'));
    }

    #rejectWaiting(error) {
        for (const { reject } of this.#waiting.values())
            reject(error);
        this.#waiting.clear();
    }

    #inWorker(call, sound, options) {
        if (typeof Worker === 'undefined')
            return Promise.resolve().then(() => this[call](sound, options));
        if (this.#failed)
            return Promise.reject(this.#failed);
        const id = this.#nextId++;
        const answer = new Promise((resolve, reject) => this.#waiting.set(id, { resolve, reject }));
        // A sound from generate or parse is sent as its plain fields.
        const plain = typeof sound === 'object' && sound !== null ? { ...sound } : sound;
        this.#renderer().postMessage({ id, call, sound: plain, options });
        return answer;
    }

    #renderer() {
        if (this.#worker)
            return this.#worker;
        this.#worker = new Worker(this.files.worker, { type: 'module' });
        this.#worker.postMessage({ type: 'load', module: this.module });
        // A Worker file that is missing, or bundled as no ES module, only
        // shows as an error event here: without this, every render would wait
        // for ever.
        this.#worker.onerror = (event) => this.#fail(event);
        this.#worker.onmessage = ({ data: { id, result, error } }) => {
            const { resolve, reject } = this.#waiting.get(id);
            this.#waiting.delete(id);
            if (error === undefined)
                resolve(result);
            else
                reject(Object.assign(new (ERROR_CLASSES[error.name] ?? Error)(error.message),
                                     error.reason === undefined ? {} : { reason: error.reason }));
        };
        return this.#worker;
    }

    #fail(event) {
        const file = String(this.files.worker);
        const cause = event.message ? `: ${event.message}` : ' (is it beside the entry, bundled as an ES module?)';
        this.#failed = new Error(`the render Worker ${file} failed${cause}`);
        this.#worker.terminate();
        this.#worker = null;
        this.#rejectWaiting(this.#failed);
    }

    // An AudioWorkletNode that plays one instrument live in the context,
    // starting with the sound given and the notes as messages (see
    // bleepforge-worklet.js for those), its noise seeded as render's.
    // A sound that is no sound is refused here, before any node plays.
    // A layered sound plays as a whole: an AudioBufferSourceNode of what
    // render gives for it, to start when wanted; its layers carry their own
    // notes and seeds.
    async createNode(context, options = {}) {
        const { sound, notes = [], seed } = optionsOf(options, ['sound', 'notes', 'seed']);
        if (isLayered(sound)) {
            if (notes.length > 0 || seed !== undefined)
                throw new RangeError(LAYERS_OWN);
            const channels = await this.renderAsync(sound, { rate: context.sampleRate });
            return new AudioBufferSourceNode(context, { buffer: bufferOf(channels, context.sampleRate) });
        }
        if (seed !== undefined)
            wholeNumber(seed, 0, 4294967295, 'seed');
        if (sound !== undefined)
            this.parse(codeOf(sound));
        liveNotesOf(notes);
        await context.audioWorklet.addModule(this.files.worklet);
        return new AudioWorkletNode(context, 'bleepforge', {
            numberOfInputs: 0,
            numberOfOutputs: 1,
            outputChannelCount: [2],
            processorOptions: { module: this.module, sound: sound === undefined ? undefined : codeOf(sound), notes,
                                seed },
        });
    }

    // A new sound of a kind; the same seed gives the same sound everywhere.
    generate(kind, options = {}) {
        const { seed } = optionsOf(options, ['seed']);
        const drawn = seed ?? Math.floor(Math.random() * 4294967296);
        wholeNumber(drawn, 0, 4294967295, 'seed');
        const canonical = canonicalKind(kind);
        return { kind: canonical, seed: drawn, ...answered(this.core.generate(canonical, drawn)) };
    }

    // A layered sound from its TOML text or its code, read whole and checked
    // as the command line reads a layered file: { code, layers, text }, its
    // kinds made into sounds. A refusal names the line ("layers:3: ...").
    layered(textOrCode) {
        if (typeof textOrCode !== 'string')
            throw new TypeError(`expected a layered sound's text or code (a string starting "${LAYERED_PREFIX}")`);
        return answered(this.#layeredCore().readLayered(textOrCode));
    }

    // Only the page's module reads TOML.
    #layeredCore() {
        if (typeof this.core.readLayered !== 'function')
            throw new Error("layered sounds need the full entry 'bleepforge', not the runtime");
        return this.core;
    }

    // The sound a code holds; throws saying why a code is refused.
    parse(code) {
        if (typeof code !== 'string')
            throw new TypeError(`expected a sound code (a string starting "${this.core.codePrefix}")`);
        return answered(this.core.parse(code));
    }

    // A sound from its 60 values, in parameter order and real units.
    fromValues(values) {
        const vector = new this.core.VectorDouble();
        try {
            for (const value of values)
                vector.push_back(Number(value));
            return answered(this.core.fromValues(vector));
        } finally {
            vector.delete();
        }
    }

    // The sound's samples, a Float32Array per channel: what the command line's
    // render gives for it. Without notes it plays the note a generated sound
    // plays; length in seconds, or the sound's own. Noise follows the seed,
    // or without one is drawn from the clock, as the command line's is.
    // normalize is the command line's --normalize: "peak[:DBFS]" or
    // "lufs[:LUFS]", measured on the channels returned.
    render(sound, options = {}) {
        optionsOf(options, RENDER_OPTIONS);
        return this.#channels(sound, options, false);
    }

    // Float32Array channels, or with `exact` Float64Array ones: the samples
    // the command line's file writer converts, before they are rounded.
    #channels(sound, options, exact) {
        const { rate = 44100, channels = 2, block = 512, seed, notes = [], length, normalize = '' } = options;
        if (typeof normalize !== 'string')
            throw new TypeError('normalize: expected "peak[:DBFS]" or "lufs[:LUFS]"');
        renderNotesOf(notes);
        wholeNumber(block, 1, 8192, 'block');
        if (length !== undefined && !(Number(length) > 0))
            throw new RangeError('length: expected seconds, more than 0 and at most 3600');
        wholeNumber(channels, 1, 2, 'channels');
        if (seed !== undefined)
            wholeNumber(seed, 0, 4294967295, 'seed');
        if (isLayered(sound)) {
            if (seed !== undefined || options.notes !== undefined)
                throw new RangeError(LAYERS_OWN);
            return answered(this.#layeredCore().renderLayered(layeredTextOf(sound), Number(rate), Number(block),
                                                             length === undefined ? -1 : Number(length),
                                                             Number(channels), normalize, exact)).channels;
        }
        const flat = new this.core.VectorDouble();
        try {
            for (const n of notes) {
                for (const value of [n.note ?? 60, n.velocity ?? 127, n.start ?? 0, n.duration ?? 0.5])
                    flat.push_back(Number(value));
            }
            return answered(this.core.render(codeOf(sound), Number(rate), Number(block), seed !== undefined,
                                             seed ?? 0, flat,
                                             length === undefined ? -1 : Number(length),
                                             Number(channels), normalize, exact)).channels;
        } finally {
            flat.delete();
        }
    }

    // The sound rendered as WAV bytes (pcm16, pcm24 or float) that carry its code,
    // so that the file opens again as the sound it plays.
    wav(sound, allOptions = {}) {
        optionsOf(allOptions, WAV_OPTIONS);
        // A generated sound's file names its kind and seed, as the command line's do.
        const named = sound?.kind !== undefined && sound?.seed !== undefined;
        const { format = 'pcm16', comment = named ? `bleepforge ${sound.kind} seed ${sound.seed}` : '',
                ...options } = allOptions;
        if (!Object.hasOwn(SAMPLE_FORMATS, format))
            throw new RangeError("format: expected 'pcm16', 'pcm24' or 'float'");
        const code = isLayered(sound) ? this.layered(layeredTextOf(sound)).code : codeOf(sound);
        const rate = options.rate ?? 44100;
        return wavBytes(this.#channels(code, options, true), rate, format, code,
                        comment ? `${comment} ${code}` : code);
    }

    // The sound a WAV from Bleepforge carries. A refusal's `reason` is
    // 'not-wav' for what is no WAV file, 'no-sound' for a WAV without a sound.
    parseWav(bytes) {
        const code = codeInWav(bytes);
        if (code === null)
            throw refusal('the WAV file holds no Bleepforge sound', 'no-sound');
        if (code.startsWith(LAYERED_PREFIX))
            throw refusal('the WAV file holds a layered sound: layered() reads its code', 'layered');
        return this.parse(code);
    }

    // The sound a 484-byte state file holds, checked whole; a refusal names
    // the file as `name` when given.
    parseState(bytes, name) {
        if (!(bytes instanceof ArrayBuffer || ArrayBuffer.isView(bytes)))
            throw new TypeError("expected a state file's bytes (an ArrayBuffer or a Uint8Array)");
        const data = bytes instanceof ArrayBuffer ? new Uint8Array(bytes)
                                                  : new Uint8Array(bytes.buffer, bytes.byteOffset, bytes.byteLength);
        const what = name === undefined ? 'the file' : `'${shortened(name)}'`;
        return this.parse(answered(this.core.stateCode(data, what)).code);
    }

    // A player of a fresh variation on every play (see Player).
    player(source, options = {}) {
        const { seed = Math.floor(Math.random() * 4294967296), context, ahead = 2, ...render } =
            optionsOf(options, PLAYER_OPTIONS);
        wholeNumber(seed, 0, 4294967295, 'seed');
        wholeNumber(ahead, 1, 16, 'ahead');
        const { sound, kind = '', lock = [], pitch = 0, mutation = 0 } = sourceOf(source);
        if (!Array.isArray(lock) || !lock.every((name) => typeof name === 'string' && !name.includes(',')))
            throw new TypeError("lock: expected a list of parameter or group names, such as ['osc1']");
        const layered = isLayered(sound);
        if (sound !== undefined && !layered)
            this.parse(codeOf(sound));
        const renderOptions = { rate: context?.sampleRate ?? 44100, ...render };
        // The render options are checked now, on a moment of a sound, so that
        // a mistake throws here rather than from the plays rendered ahead.
        this.render(this.generate('blip', { seed: 1 }), { ...renderOptions, length: 0.001 });
        const open = (call, ...source) => answered(call(...source, kind && canonicalKind(kind), lock.join(','),
                                                        Number(pitch), Number(mutation), seed)).sequence;
        const sequence = layered
            ? layeredSequence(this, open(this.#layeredCore().openLayeredSequence, layeredTextOf(sound)))
            : soundSequence(this, open(this.core.openSequence, sound === undefined ? '' : codeOf(sound)));
        return new Player(this, sequence, { context, ahead, render: renderOptions });
    }

    // The 60 parameters: name, range, default, unit and, for lists, their texts.
    params() {
        return this.core.params();
    }
}
