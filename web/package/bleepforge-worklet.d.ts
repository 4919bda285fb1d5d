// The worklets ('bleepforge/worklet', 'bleepforge/runtime-worklet'): added
// to an AudioWorklet, each registers the processor 'bleepforge', which
// Bleepforge.createNode makes nodes of. What its node takes and says:
import type { LiveAnswer, LiveLevels, LiveMessage, LiveNote } from './bleepforge.js';

export type { LiveAnswer, LiveLevels, LiveMessage, LiveNote };

/** The processorOptions of a 'bleepforge' AudioWorkletNode. */
export interface BleepforgeProcessorOptions {
    /** The compiled .wasm of the module the worklet file imports (a Bleepforge's `module`). */
    module: WebAssembly.Module;
    /** The sound code it starts with. */
    sound?: string;
    /** The noise's seed, 0 ... 4294967295; without it the clock's. */
    seed?: number;
    /** Notes queued before the first quantum. */
    notes?: LiveNote[];
}
