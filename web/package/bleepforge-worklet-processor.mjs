// The AudioWorklet processor 'bleepforge': one instrument, played live, over
// the module its worklet file imports (bleepforge-worklet.js, or
// bleepforge-runtime-worklet.js for the runtime).
// The page talks to it only by messages on node.port:
//   {type: 'noteOn', note, velocity, frame}   frame: the context's frame it starts on
//   {type: 'noteOff', note, frame}
//   {type: 'param', index, value}             a parameter in its own units, within its range
//   {type: 'sound', code}                     a whole sound at once
//   {type: 'allNotesOff'}                     releases every note now and drops those waiting
//   {type: 'levels'}                          answered {type: 'levels', left, right, sounding}
// It answers {type: 'error', message} for what it refuses, and applies none of
// it. processorOptions carry the compiled module, the sound to start with, the
// noise's seed (else the clock's) and notes as the messages give them, queued
// before the first quantum (an offline context renders before messages
// arrive). process() renders each quantum without allocating; notes wait in a
// preallocated queue, and the levels are read when asked, outside it.
import { liveMessageRefusal } from './bleepforge-checks.mjs';

const QUANTUM = 128;
const MOST_WAITING_NOTES = 1024;

// Registers the processor over a module: its JavaScript, and its .wasm's
// file name for refusals.
export function registerBleepforgeProcessor(createCore, wasmName) {
registerProcessor('bleepforge', class extends AudioWorkletProcessor {
    constructor(options) {
        super();
        const { module, sound, seed, notes = [] } = options.processorOptions ?? {};
        // Frame, note and velocity of each waiting note, in the order they play.
        this.waiting = new Float64Array(3 * MOST_WAITING_NOTES);
        this.count = 0;
        this.core = null;
        this.port.onmessage = (event) => this.take(event.data);
        try {
            this.core = this.open(module, seed);
            if (sound !== undefined)
                this.take({ type: 'sound', code: sound });
            for (const note of notes)
                this.take(note);
        } catch (error) {
            this.port.postMessage({ type: 'error', message: `cannot start the instrument: ${error}` });
        }
    }

    // The module is instantiated at once, from the compiled module the page
    // sends, so that the first quantum already plays.
    open(module, seed) {
        if (!(module instanceof WebAssembly.Module))
            throw new Error(`processorOptions.module: expected the compiled ${wasmName}`);
        const core = {
            // The worklet's scope has no URL; the file is never fetched here.
            locateFile: (path) => path,
            instantiateWasm(imports, receive) {
                const instance = new WebAssembly.Instance(module, imports);
                receive(instance, module);
                return instance.exports;
            },
        };
        createCore(core);
        if (!core._bf_live_open(sampleRate, QUANTUM, seed === undefined ? 0 : 1, seed >>> 0))
            throw new Error(`cannot play at ${sampleRate} Hz`);
        this.viewOutput(core);
        return core;
    }

    viewOutput(core) {
        this.heap = core.HEAPF32.buffer;
        const at = core._bf_live_output() / 4;
        this.left = core.HEAPF32.subarray(at, at + QUANTUM);
        this.right = core.HEAPF32.subarray(at + QUANTUM, at + 2 * QUANTUM);
    }

    take(message) {
        if (!this.core)
            return;
        const refusal = liveMessageRefusal(message) || this.apply(message);
        if (refusal)
            this.port.postMessage({ type: 'error', message: refusal });
    }

    // Applies a message already checked: '' when done, else why not.
    apply(message) {
        switch (message.type) {
        case 'noteOn':
        case 'noteOff':
            return this.queue(message);
        case 'param': {
            const refusal = this.core.liveParam(message.index, message.value);
            return refusal && `param: ${refusal}`;
        }
        case 'allNotesOff':
            this.count = 0;
            this.core._bf_live_all_notes_off();
            return '';
        case 'sound':
            return this.core.liveSound(message.code);
        case 'levels':
            this.port.postMessage({ type: 'levels', left: this.core._bf_live_level(0),
                                    right: this.core._bf_live_level(1),
                                    sounding: this.count > 0 || this.core._bf_live_sounding() === 1 });
            return '';
        }
    }


    // Kept in order of frame; notes on one frame in the order they came.
    queue({ type, note, velocity = 127, frame = 0 }) {
        if (this.count === MOST_WAITING_NOTES)
            return 'too many notes waiting';
        let at = this.count;
        while (at > 0 && this.waiting[3 * (at - 1)] > frame) {
            this.waiting.copyWithin(3 * at, 3 * (at - 1), 3 * at);
            --at;
        }
        this.waiting[3 * at] = frame;
        this.waiting[3 * at + 1] = note;
        this.waiting[3 * at + 2] = type === 'noteOn' ? velocity : 0;
        ++this.count;
        return '';
    }

    // The notes due in this quantum go in at their frames.
    sendDueNotes(frames) {
        let due = 0;
        for (; due < this.count && this.waiting[3 * due] < currentFrame + frames; ++due) {
            const offset = Math.max(0, this.waiting[3 * due] - currentFrame);
            this.core._bf_live_note(this.waiting[3 * due + 1], this.waiting[3 * due + 2], offset);
        }
        if (due > 0) {
            this.waiting.copyWithin(0, 3 * due, 3 * this.count);
            this.count -= due;
        }
    }

    process(inputs, outputs) {
        const output = outputs[0];
        if (!this.core || output.length === 0)
            return true;
        const frames = output[0].length;
        this.sendDueNotes(frames);
        this.core._bf_live_process(frames);
        if (this.core.HEAPF32.buffer !== this.heap)
            this.viewOutput(this.core); // memory grew: only then a new view
        output[0].set(frames === QUANTUM ? this.left : this.left.subarray(0, frames));
        if (output.length > 1)
            output[1].set(frames === QUANTUM ? this.right : this.right.subarray(0, frames));
        return true;
    }
});
}
