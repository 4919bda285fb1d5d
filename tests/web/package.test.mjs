// What npm pack makes is a package a game can import: every file it needs
// is inside, and it loads its .wasm from where it is installed.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { webBuild } from './native.mjs';

test('the packed package imports, loads and plays a code', async () => {
    const folder = mkdtempSync(join(tmpdir(), 'bleepforge-package-'));
    try {
        const tarball = execFileSync('npm', ['pack', '--silent', '--pack-destination', folder, webBuild],
                                     { encoding: 'utf8' }).trim();
        execFileSync('tar', ['-xzf', join(folder, tarball), '-C', folder]);
        const { Bleepforge } = await import(pathToFileURL(join(folder, 'package', 'bleepforge.mjs')));
        const bf = await Bleepforge.load();
        const coin = bf.generate('coin', { seed: 7 });
        const [left] = bf.render(coin.code);
        assert.ok(left.some((s) => Math.abs(s) > 0.01));
        assert.equal(bf.parseWav(bf.wav(coin)).code, coin.code);
    } finally {
        rmSync(folder, { recursive: true, force: true });
    }
});
