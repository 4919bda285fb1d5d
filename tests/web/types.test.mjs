// The package's types as a game's TypeScript sees them through its exports:
// a correct game compiles, and each typo a game could make fails to.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, symlinkSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { withTempFolder, webBuild } from './native.mjs';
import { npmTool } from './npmtools.mjs';

const game = `
import { Bleepforge } from 'bleepforge/runtime';
import { Bleepforge as Full } from 'bleepforge';
import type { BleepforgeProcessorOptions, LiveMessage } from 'bleepforge/worklet';
export async function run(context: AudioContext): Promise<number> {
    const bf = await Bleepforge.load();
    const coin = bf.generate('coin', { seed: 1 });
    const [left] = bf.render(coin, { normalize: 'lufs:-14', channels: 1, notes: [{ note: 60, velocity: 90 }] });
    const bytes: Uint8Array = bf.wav(coin, { format: 'pcm24', normalize: 'peak' });
    const node = await bf.createNode(context, { sound: coin });
    const message: LiveMessage = { type: 'noteOn', note: 60 };
    node.port.postMessage(message);
    const options: BleepforgeProcessorOptions = { module: (await Full.load()).module };
    const player = bf.player({ kind: 'hit', lock: ['osc1'], pitch: 2 }, { seed: 1, context, normalize: 'peak' });
    const { node: played, index } = await player.play();
    played.disconnect();
    const full = await Full.load();
    const boom = full.layered('version = 1\\n[[layer]]\\nkind = "hit"\\nseed = 1\\n');
    const whole: AudioBufferSourceNode = await full.createNode(context, { sound: boom });
    whole.start();
    const [mixed] = full.render(boom.code, { normalize: 'peak', rate: 48000 });
    const varied = full.player({ sound: boom, mutation: 4 }, { seed: 2 });
    const { sound } = await varied.next();
    return left.length + bytes.length + (options.sound ?? '').length + index + mixed.length + sound.code.length;
}
`;

// Each line replaces its like in the game, and must fail to compile.
const typos = {
    kind: ["bf.generate('coin'", "bf.generate('con'"],
    normalize: ["normalize: 'lufs:-14'", "normalize: 'loud'"],
    format: ["format: 'pcm24'", "format: 'pcm32'"],
    note: ['velocity: 90', 'velocty: 90'],
    message: ["type: 'noteOn'", "type: 'noteOn!'"],
    'player source': ["{ kind: 'hit'", "{ knd: 'hit'"],
    'player option': ['{ seed: 1, context', '{ sed: 1, context'],
    'layered sound': ['{ sound: boom, mutation: 4 }', '{ sound: boom.layers, mutation: 4 }'],
};

function compiles(folder, text) {
    writeFileSync(join(folder, 'game.ts'), text);
    try {
        execFileSync(npmTool('tsc'), ['--noEmit', '-p', folder], { encoding: 'utf8' });
        return '';
    } catch (error) {
        return error.stdout || String(error);
    }
}

test('a game compiles against every entry, and a typo in a kind, option or message does not', () => {
    withTempFolder((folder) => {
        mkdirSync(join(folder, 'node_modules'));
        symlinkSync(webBuild, join(folder, 'node_modules', 'bleepforge'));
        writeFileSync(join(folder, 'tsconfig.json'), JSON.stringify({
            compilerOptions: { strict: true, target: 'es2022', module: 'es2022', moduleResolution: 'bundler',
                               lib: ['es2022', 'dom'], skipLibCheck: false, types: [] },
            files: ['game.ts'],
        }));
        assert.equal(compiles(folder, game), '');
        for (const [what, [right, wrong]] of Object.entries(typos)) {
            assert.ok(game.includes(right), what);
            assert.notEqual(compiles(folder, game.replace(right, wrong)), '', `a typo in the ${what} compiles`);
        }
    });
});
