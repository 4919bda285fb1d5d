// What npm pack makes is a package a game can import: every file it needs
// is inside, and each entry loads its .wasm from where it is installed.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { webBuild } from './native.mjs';

test('the packed package imports, loads and plays a code through each of its entries', () => {
    const folder = mkdtempSync(join(tmpdir(), 'bleepforge-package-'));
    try {
        const tarball = execFileSync('npm', ['pack', '--silent', '--pack-destination', folder, webBuild],
                                     { encoding: 'utf8' }).trim();
        const installed = join(folder, 'node_modules', 'bleepforge');
        mkdirSync(installed, { recursive: true });
        execFileSync('tar', ['-xzf', join(folder, tarball), '-C', installed, '--strip-components=1']);
        writeFileSync(join(folder, 'game.mjs'), `
            for (const entry of ['bleepforge', 'bleepforge/runtime']) {
                const { Bleepforge } = await import(entry);
                const bf = await Bleepforge.load();
                const coin = bf.generate('coin', { seed: 7 });
                const [left] = bf.render(coin.code);
                if (!left.some((s) => Math.abs(s) > 0.01) || bf.parseWav(bf.wav(coin)).code !== coin.code)
                    throw new Error(entry + ' does not play');
                console.log(entry, 'plays');
            }`);
        const said = execFileSync('node', [join(folder, 'game.mjs')], { cwd: folder, encoding: 'utf8' });
        assert.equal(said, 'bleepforge plays\nbleepforge/runtime plays\n');
    } finally {
        rmSync(folder, { recursive: true, force: true });
    }
});
