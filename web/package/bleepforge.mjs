// Bleepforge over the page's fuller module (the editor's calls too), for browsers and bundlers:
// no Node import. Node takes bleepforge-node.mjs (the package's "node" export).
import createCore from './bleepforge-core.mjs';
import { bleepforgeOver } from './bleepforge-api.mjs';

// What the Node entry loads too.
export const files = {
    createCore,
    wasm: new URL('./bleepforge-core.wasm', import.meta.url),
    worklet: new URL('./bleepforge-worklet.js', import.meta.url),
    worker: new URL('./bleepforge-worker.js', import.meta.url),
};

export const Bleepforge = bleepforgeOver(files);
export default Bleepforge;
