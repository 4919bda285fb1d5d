// Bleepforge over a game's runtime: the sound calls alone, small, for browsers and bundlers:
// no Node import. Node takes bleepforge-runtime-node.mjs (the package's "node" export).
import createCore from './bleepforge-runtime-core.mjs';
import { bleepforgeOver } from './bleepforge-api.mjs';

// What the Node entry loads too.
export const files = {
    createCore,
    wasm: new URL('./bleepforge-runtime-core.wasm', import.meta.url),
    worklet: new URL('./bleepforge-runtime-worklet.js', import.meta.url),
    worker: new URL('./bleepforge-runtime-worker.js', import.meta.url),
};

export const Bleepforge = bleepforgeOver(files);
export default Bleepforge;
