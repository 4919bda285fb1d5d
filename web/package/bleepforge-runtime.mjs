// Bleepforge over a game's runtime: the sound calls alone, small, for browsers and bundlers:
// no Node import. Node takes bleepforge-runtime-node.mjs (the package's "node" export).
import createCore from './bleepforge-runtime-core.mjs';
import { bleepforgeOver, filesOf } from './bleepforge-api.mjs';

// What the Node entry loads too.
export const files = filesOf(createCore, 'bleepforge-runtime-core.wasm',
                             'bleepforge-runtime-worklet.js', 'bleepforge-runtime-worker.js');

export const Bleepforge = bleepforgeOver(files);
export default Bleepforge;
