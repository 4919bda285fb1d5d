// Bleepforge: retro-game sound effects, made and played in WebAssembly. The
// types of both entries, 'bleepforge' (the page's fuller module) and
// 'bleepforge/runtime' (a game's): their calls are the same.

export type Kind =
    | 'pickup' | 'shoot' | 'powerup' | 'hit' | 'jump' | 'blip' | 'slash' | 'random' | 'mutate' | 'reset'
    | 'coin' | 'laser' | 'power-up' | 'hurt' | 'blips' | 'randomize';

/** A sound: its code (one line to share) and its 60 values in parameter order. */
export interface Sound {
    code: string;
    values: number[];
}

/** A generated sound also names its kind and seed. */
export interface GeneratedSound extends Sound {
    kind: string;
    seed: number;
}

/**
 * A layered sound (the full entry 'bleepforge' only): 1 ... 16 sounds, each offset, scaled, panned and
 * repeated, summed into one. Its code starts "bfl1:"; its text is the command line's layered TOML.
 */
export interface LayeredSound {
    code: string;
    /** How many layers. */
    layers: number;
    /** Its TOML, each layer's sound as its code. */
    text: string;
}

/**
 * What render, wav and their Async twins take: a sound, its code, or a layered sound (its code, its TOML
 * text, or what layered() answers), which takes no seed or notes: its layers carry their own.
 */
export type AnySound = Sound | LayeredSound | string;

export interface Note {
    /** MIDI note, 0 ... 127; 60 by default. */
    note?: number;
    /** 1 ... 127; 127 by default. */
    velocity?: number;
    /** Seconds; 0 by default. */
    start?: number;
    /** Seconds; 0.5 by default. */
    duration?: number;
}

/** A note message for the worklet; frame is the context's frame it plays on. */
export interface LiveNote {
    type: 'noteOn' | 'noteOff';
    note: number;
    velocity?: number;
    frame?: number;
}

/** What the worklet's port takes; any other key is refused. */
export type LiveMessage =
    | LiveNote
    /** A parameter in its own units; a value outside its range is refused and changes nothing. */
    | { type: 'param'; index: number; value: number }
    | { type: 'sound'; code: string }
    /** Every note released now, the waiting ones dropped. */
    | { type: 'allNotesOff' }
    /** Answered with a LiveLevels. */
    | { type: 'levels' };

/** What the worklet's port answers. */
export type LiveAnswer =
    /** What it refused, and why; nothing of the message is applied. */
    | { type: 'error'; message: string }
    | LiveLevels;

/** The output meter after the last quantum, as the editor's OUTPUT meter shows it. */
export interface LiveLevels {
    type: 'levels';
    /** Smoothed peaks, 0 ... 1 and beyond when clipping. */
    left: number;
    right: number;
    /** Whether a note sounds or waits; false once everything has died away. */
    sounding: boolean;
}

export interface RenderOptions {
    /** Hz, a whole number 1000 ... 384000; 44100 by default. */
    rate?: number;
    /** 1 or 2 (one channel is the mean of the two); 2 by default. */
    channels?: 1 | 2;
    /** Frames per block, 1 ... 8192; the samples do not depend on it. 512 by default. */
    block?: number;
    /** Seeds the noise, 0 ... 4294967295; without it the noise is drawn from the clock. */
    seed?: number;
    /** Without notes, the sound's own note: 60, held through attack, hold and decay. */
    notes?: Note[];
    /** Seconds; by default until the sound has died away (at most 30 s). */
    length?: number;
    /**
     * As the command line's --normalize, measured on the channels returned:
     * "peak" or "peak:DBFS" (-60 ... 0, -1 by default) brings the highest
     * sample there; "lufs" or "lufs:LUFS" (-70 ... 0, -16 by default) the
     * loudness, true peak at most -1 dBTP. Silence is left as it renders.
     */
    normalize?: Normalize;
}

/** As the command line's --normalize; '' leaves the level as it renders. */
export type Normalize = '' | 'peak' | `peak:${number}` | 'lufs' | `lufs:${number}`;

export interface WavOptions extends RenderOptions {
    /** 16-bit integers (the default), 24-bit integers or 32-bit floats. */
    format?: 'pcm16' | 'pcm24' | 'float';
    /** Text before the sound code in the file's comment. */
    comment?: string;
}

/**
 * What a player varies: a kind drawn anew on each play, a sound (varied by pitch and mutation), or both,
 * with parameters or groups (osc1, osc2, osc3, noise, amp-env, filter-env, filters, pitch, crusher,
 * output) locked to the sound's values.
 */
export type PlayerSource =
    | Kind
    | Sound
    | LayeredSound
    | string
    | {
          /** Not with a layered sound, whose layers' own sounds vary. */
          kind?: Kind;
          sound?: Sound | LayeredSound | string;
          lock?: string[];
          /** Each play's note moves up to this many semitones either way, 0 ... 48. */
          pitch?: number;
          /** Each play is mutated by this "Mutation %", 0 ... 10. */
          mutation?: number;
      };

export interface PlayerOptions {
    /** The sequence's seed, 0 ... 4294967295; by default drawn at random. */
    seed?: number;
    /** Where play() plays; without it, take the samples with next(). */
    context?: BaseAudioContext;
    /** Plays rendered ahead, 1 ... 16; 2 by default. */
    ahead?: number;
    /** Hz; the context's rate, else 44100. */
    rate?: number;
    channels?: 1 | 2;
    normalize?: Normalize;
}

/** One play of a player. */
export interface Play {
    /** Its place in the sequence, from 0. */
    index: number;
    /** What its values were drawn from, and its noise's seed (a layered play's layers carry their own). */
    seed?: number;
    sound: Sound | LayeredSound;
    /** A layered play's layers carry their own. */
    notes?: Note[];
}

export interface Player {
    /** Resolves once the next play is rendered: play() then starts it at once. */
    readonly ready: Promise<void>;
    /** The next play and its samples. */
    next(): Promise<Play & { channels: Float32Array[] }>;
    /** Starts the next play in the context (at once when rendered); resolves to it and its node. */
    play(options?: { destination?: AudioNode }): Promise<Play & { node: AudioBufferSourceNode }>;
    /** Ends the sequence. */
    close(): void;
}

export interface ParamChoice {
    value: number;
    text: string;
}

export interface Param {
    index: number;
    name: string;
    min: number;
    max: number;
    default: number;
    /** 'dB', 'Hz', 's' ... or '' */
    unit: string;
    /** Whole numbers only (lists, switches, octaves). */
    whole: boolean;
    /** The entries of a list, by value. */
    texts: ParamChoice[];
}

/**
 * Every method that takes named values (options, notes, worklet messages) refuses a name it does not
 * know with a RangeError naming it and the known ones; a value out of range is refused with a RangeError
 * naming the option as this package does (rate, seed, notes, normalize ...).
 */
export class Bleepforge {
    /**
     * Loads the module; `wasm` is the .wasm's URL or bytes (default: beside this file), or a compiled
     * module (another instance's `module`, as a Worker is handed it). In Node it may also be a path,
     * absolute or from the working folder, or a file: URL.
     */
    static load(options?: { wasm?: string | URL | ArrayBuffer | ArrayBufferView | WebAssembly.Module }):
        Promise<Bleepforge>;
    /** The compiled module, to load another instance from. */
    readonly module: WebAssembly.Module;
    /** A new sound of a kind; the same seed gives the same sound everywhere. */
    generate(kind: Kind, options?: { seed?: number }): GeneratedSound;
    /** The sound a code holds; throws an Error saying why a code is refused. */
    parse(code: string): Sound;
    /** A sound from its 60 values in real units; throws for a value out of range. */
    fromValues(values: ArrayLike<number>): Sound;
    /** A Float32Array per channel: what the command line's render gives for the sound. */
    render(sound: AnySound, options?: RenderOptions): Float32Array[];
    /** A WAV file's bytes, carrying the sound so that it opens again as itself. */
    wav(sound: AnySound, options?: WavOptions): Uint8Array;
    /**
     * render, off the main thread: the same samples, rendered in a Worker of this instance's own (in the
     * calling thread where there is no Worker, as in Node). A refusal rejects with render's error.
     */
    renderAsync(sound: AnySound, options?: RenderOptions): Promise<Float32Array[]>;
    /** wav, off the main thread, as renderAsync. */
    wavAsync(sound: AnySound, options?: WavOptions): Promise<Uint8Array>;
    /** Ends the Worker renderAsync started; what still waits on it is rejected. */
    close(): void;
    /**
     * The sound a WAV from Bleepforge carries. A refusal is an Error whose `reason` is 'not-wav' for
     * bytes that are no WAV file (or one cut short), 'no-sound' for a WAV without a sound in it,
     * 'layered' for a WAV of a layered sound.
     */
    parseWav(bytes: ArrayBuffer | Uint8Array): Sound;
    /** The sound a 484-byte state file holds; throws an Error saying why other bytes are none, naming the file. */
    parseState(bytes: ArrayBuffer | ArrayBufferView, name?: string): Sound;
    /** A layered sound plays as a whole: an AudioBufferSourceNode of what render gives, not yet started. */
    createNode(context: BaseAudioContext, options: { sound: LayeredSound }): Promise<AudioBufferSourceNode>;
    /**
     * An AudioWorkletNode playing one instrument live, starting with the sound given. Its port takes
     * LiveMessage objects: {type: 'noteOn', note, velocity, frame}, {type: 'noteOff', note, frame},
     * {type: 'param', index, value} (the value in the parameter's own units and range, as params() lists
     * them), {type: 'sound', code}, {type: 'allNotesOff'} (every note released now, waiting ones dropped)
     * and {type: 'levels'}; it answers LiveAnswer objects: the levels asked for, and
     * {type: 'error', message} for what it refuses, applying none of it.
     * Notes given here are queued before the first quantum, as an offline context needs; a note or an
     * option it would refuse rejects the promise instead, before any node plays.
     */
    createNode(context: BaseAudioContext, options?: { sound?: Sound | string; notes?: LiveNote[]; seed?: number }):
        Promise<AudioWorkletNode>;
    /**
     * A layered sound from its TOML text or its code, read whole and checked as the command line reads a
     * layered file, its kinds made into sounds; a refusal names the line ("layers:3: ..."). The runtime
     * entry throws: it reads no TOML.
     */
    layered(textOrCode: string): LayeredSound;
    /**
     * A player of a fresh variation of the source on every play, never the same sound twice in a row;
     * the same seed plays the same sequence on every machine, as the C library's players do. The next
     * `ahead` plays render in a Worker while the page runs. Throws for a source that cannot vary.
     */
    player(source: PlayerSource, options?: PlayerOptions): Player;
    /** The 60 parameters. */
    params(): Param[];
}

export default Bleepforge;
