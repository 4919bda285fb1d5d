// The page's list of sounds in the module, in Node: the app's list model
// behind the page's calls (its record and its checks, following the editor's
// slots, locks, variations), export names and the ZIP archives the page
// downloads, opened by unzip and read back by the command line.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { Bleepforge } from '../../build/web/bleepforge-node.mjs';
import { run } from './native.mjs';

const bf = await Bleepforge.load();
const { Library, zipOf } = bf.core;
const names = bf.params().map((p) => p.name);
const valueOf = (code, name) => bf.parse(code).values[names.indexOf(name)];
const made = (kind, seed) => bf.generate(kind, { seed }).code;

function withFolder(body) {
    const folder = mkdtempSync(join(tmpdir(), 'bleepforge-library-'));
    try {
        return body(folder);
    } finally {
        rmSync(folder, { recursive: true, force: true });
    }
}

function listOf(...sounds) {
    const list = new Library();
    for (const [code, kind] of sounds)
        assert.equal(list.add(code, kind), '');
    return list;
}

const items = (list) => Array.from({ length: list.size() }, (_, i) => list.item(i));

test('the record reads back whole; a damaged one is refused and the list stays as it was', () => {
    const list = listOf([made('pickup', 1), 'pickup'], [made('jump', 2), 'jump'], [made('hit', 3), 'hit']);
    list.rename(1, 'big\tjump');
    list.star(2, true);
    list.measured(list.item(0).code, 0.25);
    list.choose(1);
    const record = list.record();

    const again = new Library();
    assert.equal(again.load(record), '');
    assert.deepEqual(items(again), items(list));
    assert.equal(again.current(), 1);
    assert.equal(again.item(1).name, 'big jump');
    assert.equal(again.item(0).seconds, 0.25);

    // One character changed anywhere, or the record cut short, is caught.
    const damaged = record.replace('big jump', 'big jumP');
    for (const text of [damaged, record.slice(0, -10), '', 'not a list'])
        assert.notEqual(again.load(text), '', JSON.stringify(text.slice(0, 20)));
    assert.deepEqual(items(again), items(list));
    for (const code of ['', 'nonsense', made('blip', 4).slice(0, -3)])
        assert.notEqual(again.add(code, 'x'), '');
    assert.equal(again.size(), 3);
});

test('a sound taken off goes back where it was, chosen if it was, and what came meanwhile stays', () => {
    const list = listOf([made('pickup', 50), 'pickup'], [made('jump', 51), 'jump'], [made('hit', 52), 'hit']);
    list.choose(1);
    assert.equal(list.remove(1), '');
    assert.equal(list.remove(0), '');
    list.add(made('blip', 53), 'blip');
    assert.deepEqual(items(list).map((s) => s.name), ['hit 1', 'blip 1']);
    assert.equal(list.putBack(), '');
    assert.equal(list.current(), 2); // blip, moved on by the pickup put back before it
    assert.equal(list.putBack(), '');
    assert.deepEqual(items(list).map((s) => s.name), ['pickup 1', 'jump 1', 'hit 1', 'blip 1']);
    assert.equal(list.current(), 1);
    assert.equal(list.canPutBack(), false);
    assert.notEqual(list.putBack(), '');
});

test('the list follows the editor\'s slots: a new slot is a new sound with the locked values kept, PREV chooses', () => {
    const pickup = made('pickup', 5);
    const list = listOf([pickup, 'pickup']);
    const shoot = made('shoot', 6);
    // A generator added slot 1 of 2.
    const answer = list.follow(1, 2, shoot, pickup, 'shoot', ['osc1', 'Mutation %']);
    assert.equal(answer.error, undefined);
    assert.deepEqual(items(list).map((s) => s.name), ['pickup 1', 'shoot 1']);
    assert.equal(list.current(), 1);
    const kept = answer.code;
    assert.equal(list.item(1).code, kept);
    for (const name of names) {
        const locked = name.startsWith('Osc1 ') || name === 'Mutation %';
        assert.equal(valueOf(kept, name), valueOf(locked ? pickup : shoot, name), name);
    }
    // SAVE of the same sound keeps it as a sound of its own.
    list.follow(2, 3, kept, kept, 'shoot', []);
    assert.equal(list.item(2).kind, 'saved');
    // PREV shows slot 0: its sound is chosen, exactly as listed.
    assert.equal(list.follow(0, 3, made('blip', 7), kept, 'blip', []).code, pickup);
    assert.equal(list.current(), 0);
    // A tweak stays with the chosen sound; an unknown lock is refused, changing nothing.
    const tweaked = made('hit', 8);
    assert.equal(list.follow(0, 3, tweaked, pickup, 'hit', []).code, tweaked);
    assert.equal(list.item(0).code, tweaked);
    assert.match(list.follow(3, 4, made('jump', 9), tweaked, 'jump', ['osc9']).error, /osc9/);
    assert.equal(list.size(), 3);
});

test('Reset starts a sound of the editor\'s own, the chosen one kept; an own sound joins before another replaces it', () => {
    const defaults = bf.fromValues(bf.params().map((p) => p.default)).code;
    const pickup = made('pickup', 12);
    const list = listOf([pickup, 'pickup']);
    // Reset, a slot count unchanged: the pickup stays as it was, none is chosen, the locks hold.
    const reset = list.follow(0, 1, defaults, pickup, 'reset', ['pitch']);
    assert.equal(list.item(0).code, pickup);
    assert.equal(list.current(), -1);
    for (const name of names)
        assert.equal(valueOf(reset.code, name), valueOf(name.startsWith('Pitch ') ? pickup : defaults, name), name);
    // Tweaked, the own sound is nobody's: a generator's new sound keeps it in the list first.
    const own = made('blip', 13);
    assert.equal(list.follow(1, 1, own, reset.code, '', []).code, own);
    assert.equal(list.size(), 1);
    list.follow(1, 2, made('jump', 14), own, 'jump', []);
    assert.deepEqual(items(list).map((s) => [s.name, s.code === own]), [['pickup 1', false], ['reset 1', true],
                                                                       ['jump 1', false]]);
    // An opened sound joins too; Reset's own sound, unchanged, does not.
    list.follow(2, 3, defaults, list.item(2).code, 'reset', []);
    assert.equal(list.opened(made('hit', 15), defaults), '');
    assert.deepEqual(items(list).map((s) => s.kind), ['pickup', 'reset', 'jump', 'opened']);
});

test('variations join after their source, differ, keep the locks; none are made of a sound that cannot vary', () => {
    const list = listOf([made('pickup', 10), 'pickup'], [made('jump', 11), 'jump']);
    const source = list.item(0);
    assert.equal(list.vary(0, 3, 42, ['pitch']), '');
    assert.deepEqual(items(list).map((s) => s.name), ['pickup 1', 'pickup 1 v1', 'pickup 1 v2', 'pickup 1 v3', 'jump 1']);
    assert.equal(list.current(), 1);
    const codes = items(list).slice(1, 4).map((s) => s.code);
    assert.equal(new Set([source.code, ...codes]).size, 4);
    for (const code of codes)
        for (const name of names.filter((n) => n.startsWith('Pitch ')))
            assert.equal(valueOf(code, name), valueOf(source.code, name), name);

    const values = bf.parse(source.code).values;
    values[names.indexOf('Mutation %')] = 0;
    const still = listOf([bf.fromValues(values).code, 'pickup']);
    assert.match(still.vary(0, 2, 1, []), /Mutation % is 0/);
    for (const count of [0, 101, -1])
        assert.notEqual(still.vary(0, count, 1, []), '');
    assert.notEqual(still.vary(5, 2, 1, []), '');
    assert.equal(still.size(), 1);
});

test('a ZIP of the starred sounds opens in unzip, and the command line reads each file as the sound it is', () => {
    const list = listOf([made('pickup', 20), 'pickup'], [made('jump', 21), 'jump'], [made('hit', 22), 'hit'],
                        [made('blip', 23), 'blip']);
    list.rename(0, 'Coin: Gold ★');
    list.rename(2, 'coin  gold');
    for (const i of [0, 2, 3])
        list.star(i, true);
    const chosen = [0, 2, 3];
    assert.deepEqual(list.exportNames(chosen, false), ['Coin  Gold ★.wav', 'coin  gold.wav', 'blip 1.wav']);
    const game = list.exportNames(chosen, true);
    assert.deepEqual(game, ['coin_gold.wav', 'coin_gold_2.wav', 'blip_1.wav']);
    assert.deepEqual(list.exportNames([3, 3, 3], false), ['blip 1.wav', 'blip 1 (2).wav', 'blip 1 (3).wav']);

    const files = chosen.map((i) => bf.wav(list.item(i).code, { seed: 1 }));
    const zip = zipOf(game, files);
    assert.equal(zip.error, undefined);
    withFolder((folder) => {
        const path = join(folder, 'starred.zip');
        writeFileSync(path, zip.bytes);
        assert.match(execFileSync('unzip', ['-t', path], { encoding: 'utf8' }), /No errors detected/);
        execFileSync('unzip', ['-q', path, '-d', join(folder, 'out')]);
        chosen.forEach((i, k) => {
            const file = join(folder, 'out', game[k]);
            assert.deepEqual(readFileSync(file), Buffer.from(files[k]));
            assert.equal(run(['show', file]), run(['show', list.item(i).code]));
        });
        // Names beyond ASCII come out as they went in.
        const plain = join(folder, 'plain.zip');
        writeFileSync(plain, zipOf(['Coin ★.wav', 'empty'], [files[0], new Uint8Array()]).bytes);
        assert.match(execFileSync('unzip', ['-t', plain], { encoding: 'utf8' }), /No errors detected/);
        assert.match(execFileSync('unzip', ['-Z1', plain], { encoding: 'utf8', env: { ...process.env, LC_ALL: 'C.UTF-8' } }), /^Coin ★\.wav\nempty\n$/);
    });
    assert.match(zipOf(['a.wav', 'a.wav'], [files[0], files[1]]).error, /two files named/);
    assert.match(zipOf(['', 'b'], [files[0], files[1]]).error, /name/);
    assert.ok(zipOf(['a.wav'], [files[0], files[1]]).error);
});

test('the slots an earlier visit kept become the list, the one shown chosen', () => {
    const list = listOf([made('pickup', 30), 'pickup'], [made('jump', 31), 'jump']);
    list.choose(0);
    const adopted = new Library();
    assert.equal(adopted.adoptSlots(list.slots(), list.item(0).code), '');
    assert.deepEqual(items(adopted).map((s) => s.name), ['kept 1', 'kept 2']);
    assert.equal(adopted.current(), 0);
    for (const bad of [{ shown: 0, values: [[0.5]] }, { shown: 0, values: [new Array(60).fill(2)] }, null, 'x'])
        assert.notEqual(new Library().adoptSlots(bad, list.item(0).code), '');
});

test('recipe kinds: the shipped explosion reads; layered kinds, paths outside the module and damage are refused', () => {
    const shipped = Object.fromEntries(bf.core.shippedKinds().map((k) => [k.name, k.text]));
    const explosion = bf.core.recipeOf(shipped.explosion, 'explosion');
    assert.equal(explosion.name, 'explosion');
    assert.match(explosion.description, /blast/);
    assert.ok(explosion.bytes.length > 0);
    assert.match(bf.core.recipeOf(shipped['big-explosion'], 'big-explosion').error, /layered/);
    for (const sound of ['/etc/passwd', '../x.state', 'a/../../x.state'])
        assert.match(bf.core.recipeOf(`sound = ${JSON.stringify(sound)}\n`, 'mine').error, /inside the working folder/);
    assert.match(bf.core.recipeOf('[params]\n"Nope" = 1\n', 'mine').error, /^mine\.toml:2: unknown parameter "Nope"/);
    // A code as the sound to start from is taken.
    assert.equal(bf.core.recipeOf(`sound = "${made('hit', 40)}"\nmutate = 10\n`, 'mine').error, undefined);
});
