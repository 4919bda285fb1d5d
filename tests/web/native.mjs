// The native command line, as the web tests compare against it.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';

export const root = join(dirname(fileURLToPath(import.meta.url)), '..', '..');
export const cli = process.env.BLEEPFORGE_CLI ?? join(root, 'build/release/apps/cli/bleepforge');
export const webBuild = process.env.BLEEPFORGE_WEB ?? join(root, 'build/web');

export function run(args) {
    return execFileSync(cli, args, { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
}

// The channels of a 32-bit float WAV, by its chunks.
export function readFloatWav(bytes) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const id = (at) => String.fromCharCode(...bytes.subarray(at, at + 4));
    let channels = 0;
    for (let at = 12; at + 8 <= bytes.length;) {
        const size = view.getUint32(at + 4, true);
        if (id(at) === 'fmt ') {
            if (view.getUint16(at + 8, true) !== 3 || view.getUint16(at + 22, true) !== 32)
                throw new Error('expected 32-bit float samples');
            channels = view.getUint16(at + 10, true);
        } else if (id(at) === 'data') {
            const frames = size / 4 / channels;
            const out = Array.from({ length: channels }, () => new Float32Array(frames));
            for (let i = 0; i < frames; ++i)
                for (let c = 0; c < channels; ++c)
                    out[c][i] = view.getFloat32(at + 8 + 4 * (i * channels + c), true);
            return out;
        }
        at += 8 + size + (size & 1);
    }
    throw new Error('no samples');
}

// Renders natively to a float WAV and reads it back.
export function nativeRender(args) {
    const folder = mkdtempSync(join(tmpdir(), 'bleepforge-web-'));
    try {
        const path = join(folder, 'out.wav');
        run(['render', ...args, '--format', 'float', '-o', path]);
        return readFloatWav(readFileSync(path));
    } finally {
        rmSync(folder, { recursive: true, force: true });
    }
}

// The folder is removed when the work ends: at once, or when the promise an
// async work returns settles.
export function withTempFolder(work) {
    const folder = mkdtempSync(join(tmpdir(), 'bleepforge-web-'));
    const remove = () => rmSync(folder, { recursive: true, force: true });
    let result;
    try {
        result = work(folder);
    } catch (error) {
        remove();
        throw error;
    }
    if (result instanceof Promise)
        return result.finally(remove);
    remove();
    return result;
}

// The sound code of the default sound with these "NAME=VALUE" settings, as
// the command line reads them.
export function settingsCode(settings) {
    return withTempFolder((folder) => {
        const state = join(folder, 's.state');
        run(['render', ...settings.flatMap((s) => ['--set', s]), '--length', '0.001', '--state-out', state,
             '-o', join(folder, 'x.wav')]);
        return run(['share', state]).trim();
    });
}

// The largest difference and how many samples differ, over every channel.
export function difference(a, b) {
    let largest = 0, differing = 0;
    for (let c = 0; c < a.length; ++c) {
        if (a[c].length !== b[c].length)
            return { largest: Infinity, differing: Infinity, lengths: [a[c].length, b[c].length] };
        for (let i = 0; i < a[c].length; ++i) {
            const d = Math.abs(a[c][i] - b[c][i]);
            if (d > 0)
                ++differing;
            largest = Math.max(largest, d);
        }
    }
    return { largest, differing };
}
