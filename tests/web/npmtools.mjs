// The npm tools scripts/setup installs into build/npm: bundlers and the
// TypeScript compiler, for the tests of the package as games use it.
import { existsSync } from 'node:fs';
import { join } from 'node:path';
import { root } from './native.mjs';

const bin = join(root, 'build/npm/node_modules/.bin');

// The tool's path; a missing tool fails the test that needs it, saying how
// to install it.
export function npmTool(name) {
    const path = join(bin, name);
    if (!existsSync(path))
        throw new Error(`${path} is missing: scripts/setup installs it`);
    return path;
}
