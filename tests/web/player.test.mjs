// The package's player and the C library's play the same sequence for a
// source and seed: each play's sound, note, seed and samples. Needs the C
// library (BLEEPFORGE_CAPI, default build/release/runtime/libbleepforge.so)
// and a C compiler.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { Bleepforge } from '../../build/web/bleepforge-runtime-node.mjs';
import { root, withTempFolder } from './native.mjs';

const capi = process.env.BLEEPFORGE_CAPI ?? join(root, 'build/release/runtime/libbleepforge.so');
const plays = 6;

// Prints each play as "index seed note code hash", hash the FNV-1a of the
// samples' float bytes. argv: kind ("-" for none), code ("-"), pitch,
// mutation, lock ("-"), seed.
const program = `
#include <bleepforge.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
int main(int argc, char** argv) {
    (void)argc;
    bf_player* player = bf_player_new((uint32_t)strtoul(argv[6], NULL, 10));
    bf_instrument* sound = bf_instrument_new();
    if (strcmp(argv[2], "-") != 0) {
        if (bf_instrument_load_code(sound, argv[2]) != BF_OK || bf_player_set_sound(player, sound) != BF_OK)
            return 2;
    }
    if ((strcmp(argv[1], "-") != 0 && bf_player_set_kind(player, argv[1]) != BF_OK) ||
        bf_player_set_pitch(player, atoi(argv[3])) != BF_OK ||
        bf_player_set_mutation(player, atof(argv[4])) != BF_OK ||
        (strcmp(argv[5], "-") != 0 && bf_player_lock(player, argv[5]) != BF_OK))
        return 3;
    size_t capacity = bf_frames_most(44100), frames = 0;
    float* out = malloc(capacity * sizeof(float));
    for (int i = 0; i < ${plays}; ++i) {
        if (bf_player_next(player, 44100, 1, out, capacity, &frames) != BF_OK)
            return 4;
        bf_play play;
        char code[1024];
        bf_player_last(player, &play, sound);
        bf_instrument_code(sound, code, sizeof code);
        uint32_t hash = 2166136261u;
        const unsigned char* bytes = (const unsigned char*)out;
        for (size_t b = 0; b < frames * sizeof(float); ++b)
            hash = (hash ^ bytes[b]) * 16777619u;
        printf("%llu %u %d %s %u\\n", (unsigned long long)play.index, play.seed, play.note.key, code, hash);
    }
    free(out);
    bf_instrument_free(sound);
    bf_player_free(player);
    return 0;
}`;

function hashOf(samples) {
    let hash = 2166136261;
    for (const byte of new Uint8Array(samples.buffer, samples.byteOffset, samples.byteLength))
        hash = Math.imul(hash ^ byte, 16777619) >>> 0;
    return hash;
}

test("the player's plays are the C library's, sound, note, seed and samples", async () => {
    const bf = await Bleepforge.load();
    const laser = bf.generate('laser', { seed: 1 }).code;
    const sources = [
        { web: 'coin', args: ['coin', '-', '0', '0', '-'], seed: 5 },
        { web: { kind: 'hit', lock: ['filters'] }, args: ['hit', '-', '0', '0', 'filters'], seed: 4294967295 },
        { web: { sound: laser, pitch: 3, mutation: 2, lock: ['osc1'] }, args: ['-', laser, '3', '2', 'osc1'], seed: 9 },
    ];
    await withTempFolder(async (folder) => {
        const source = join(folder, 'player.c'), binary = join(folder, 'player');
        writeFileSync(source, program);
        // A library built with sanitizers needs them in the program too.
        execFileSync('cc', ['-std=c99', '-fsanitize=address,undefined', `-I${join(root, 'runtime/include')}`, source,
                            capi, `-Wl,-rpath,${dirname(capi)}`, '-o', binary]);
        for (const { web, args, seed } of sources) {
            const expected = execFileSync(binary, [...args, String(seed)], { encoding: 'utf8',
                env: { ...process.env, ASAN_OPTIONS: 'detect_leaks=0' } });
            const player = bf.player(web, { seed, channels: 2 });
            const played = [];
            for (let i = 0; i < plays; ++i) {
                const { index, seed: drawn, notes, sound, channels } = await player.next();
                played.push(`${index} ${drawn} ${notes[0].note} ${sound.code} ${hashOf(channels[0])}`);
            }
            assert.deepEqual(played, expected.trim().split('\n'), JSON.stringify(web));
            for (let i = 1; i < plays; ++i)
                assert.notEqual(played[i].split(' ').slice(2, 4).join(), played[i - 1].split(' ').slice(2, 4).join());
        }
    });
});

test('a player refuses a source it cannot vary or does not know, and plays nothing once closed', async () => {
    const bf = await Bleepforge.load();
    const laser = bf.generate('laser', { seed: 1 });
    assert.throws(() => bf.player(laser), /makes the same sound whatever is drawn/);
    assert.throws(() => bf.player({ kind: 'hit', pitsh: 2 }), /unknown source key 'pitsh' \(known: kind, sound, lock/);
    assert.throws(() => bf.player({ kind: 'hit', lock: ['osc9'] }), /osc9/);
    assert.throws(() => bf.player({ sound: laser, pitch: 49 }), /pitch: expected 0 \.\.\. 48/);
    assert.throws(() => bf.player('hit', { seed: -1 }), /seed/);
    assert.throws(() => bf.player('hit', { ahaed: 2 }), /unknown option 'ahaed'/);
    assert.throws(() => bf.player('hit').play(), /no context/);
    // Render options are refused at once, and the plays rendered ahead with
    // them never end the process with an error nobody could catch.
    const unhandled = [];
    const note = (error) => unhandled.push(error);
    process.on('unhandledRejection', note);
    try {
        for (const options of [{ rate: 10 }, { rate: 44100.5 }, { channels: 5 }, { normalize: 'bogus' }])
            assert.throws(() => bf.player('pickup', options), RangeError, JSON.stringify(options));
        await new Promise((resolve) => setTimeout(resolve, 200));
    } finally {
        process.off('unhandledRejection', note);
    }
    assert.deepEqual(unhandled, []);
    const player = bf.player('hit', { seed: 2 });
    assert.equal((await player.next()).index, 0);
    player.close();
    await assert.rejects(player.next(), /closed/);
});
