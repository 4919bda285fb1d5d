// Bleepforge over the runtime module, in Node: it also loads its .wasm from a
// path or a file: URL.
import { readFile } from 'node:fs/promises';
import { bleepforgeOver } from './bleepforge-api.mjs';
import { files } from './bleepforge-runtime.mjs';

export const Bleepforge = bleepforgeOver({ ...files, readFile });
export default Bleepforge;
