// The module against the native build. Both compile their maths routines from
// one source, so every value, sample and generated state is the same bits.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { Bleepforge } from '../../build/web/bleepforge-node.mjs';
import { compareGeneratedStates, compareRandomPatches, compareReferenceCases, largestOf } from './exactness.mjs';

const bf = await Bleepforge.load();

// The samples that differ, named, so that a failure says where to look.
function differingOnes(results, name) {
    return results.filter((r) => r.differing !== 0).map((r) => ({ case: r[name], largest: r.largest,
                                                                  differing: r.differing }));
}

test('the reference cases: values and samples bit for bit', () => {
    const results = compareReferenceCases(bf);
    assert.equal(results.length, 14);
    for (const r of results)
        assert.ok(r.sameValues, `${r.name}: the module changed the sound's values`);
    assert.deepEqual(differingOnes(results, 'name'), []);
});

test('200 seeded random patches at five rates: every sample bit for bit', () => {
    const results = compareRandomPatches(bf, 200);
    assert.equal(results.length, 200);
    assert.deepEqual(differingOnes(results, 'seed'), []);
    assert.deepEqual(largestOf(results), { largest: 0, differing: 0 });
});

test('generated states: every kind and seed as the command line makes it', () => {
    const results = compareGeneratedStates(bf, 100);
    assert.equal(results.length, 10);
    assert.deepEqual(results.filter((r) => r.identical !== r.of), []);
    assert.ok(results.every((r) => r.of === 100));
});
