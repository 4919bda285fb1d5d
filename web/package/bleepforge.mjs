// Bleepforge over the page's fuller module (the editor's calls too), for browsers and bundlers:
// no Node import. Node takes bleepforge-node.mjs (the package's "node" export).
import createCore from './bleepforge-core.mjs';
import { bleepforgeOver, filesOf } from './bleepforge-api.mjs';

// What the Node entry loads too.
export const files = filesOf(createCore, 'bleepforge-core.wasm',
                             'bleepforge-worklet.js', 'bleepforge-worker.js');

export const Bleepforge = bleepforgeOver(files);
export default Bleepforge;
