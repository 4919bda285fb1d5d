// The module against the native build. WebAssembly's sin, cos, tan, pow, exp
// and log are not glibc's and now and then round the other way; these are the
// differences measured, held so that a change that widens them fails.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { Bleepforge } from '../../build/web/bleepforge.mjs';
import { compareGeneratedStates, compareRandomPatches, compareReferenceCases, largestOf,
         oneFloatStep } from './exactness.mjs';

const bf = await Bleepforge.load();

test('the reference cases: values bit for bit, samples within what was measured', () => {
    const results = compareReferenceCases(bf);
    assert.equal(results.length, 14);
    for (const r of results)
        assert.ok(r.sameValues, `${r.name}: the module changed the sound's values`);
    const worst = largestOf(results);
    console.log('reference cases', JSON.stringify(results.filter((r) => r.differing > 0)));
    assert.ok(worst.largest <= 2 ** -31, `largest difference ${worst.largest}`);
    assert.ok(worst.differing <= 2, `${worst.differing} samples differ`);
});

test('200 seeded random patches at five rates stay within one step of single precision', () => {
    const results = compareRandomPatches(bf, 200);
    const worst = largestOf(results);
    console.log('random patches', JSON.stringify({ ...worst, patches: results.filter((r) => r.differing > 0).length }));
    assert.ok(results.every((r) => Number.isFinite(r.largest)), 'a render of another length');
    assert.ok(worst.largest <= oneFloatStep, `largest difference ${worst.largest}`);
    assert.ok(worst.differing <= 156, `${worst.differing} samples differ`);
});

test('generated states: nearly every kind and seed as the command line makes it', () => {
    const results = compareGeneratedStates(bf, 100);
    console.log('generated states', JSON.stringify(results));
    for (const r of results)
        assert.ok(r.identical >= 99, `${r.kind}: ${r.identical} of ${r.of} identical`);
    assert.ok(results.reduce((n, r) => n + r.identical, 0) >= 998);
});
