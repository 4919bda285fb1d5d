// The editor's interactions in the page: value fields and menus with the
// app's rules, the wheel, tooltips, the on-screen keyboard, musical typing,
// Space and Escape, and "Play on change"; each change heard once.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
    click, gesture, hover, kKnob, kPickup, openPage, playedSounds, pressKey, recordMessages, until, withPage,
} from './pagedriver.mjs';

// In CSS pixels from the canvas's corner: the Osc2 Level knob's value (its
// knob is kKnob), the Osc1 Type list's value, a spot with no control, and the
// lowest key of the on-screen keyboard.
const kLevelValue = { x: 142, y: 163 };
const kLevelIndex = 5;
const kTypeValue = { x: 70, y: 95 };
const kTypeIndex = 1;
const kNowhere = { x: 10, y: 300 };
const kLowestKey = { x: 142, y: 760 };
const kLowestNote = 12;
const kSettle = 'new Promise((resolve) => setTimeout(resolve, 600))';

const values = 'bleepforgePage.bf.parse(bleepforgePage.sound.current()).values';
const field = "document.querySelector('.bleepforge-field')";
const sent = (type) => `window.sent.filter((m) => m.type === '${type}')`;

async function clickElement(browser, tab, expression) {
    const { x, y } = await browser.evaluate(tab, `(() => {
        const box = (${expression}).getBoundingClientRect();
        return { x: box.left + box.width / 2, y: box.top + box.height / 2 };
    })()`);
    for (const type of ['mousePressed', 'mouseReleased'])
        await browser.send('Input.dispatchMouseEvent', { type, x, y, button: 'left', buttons: type === 'mousePressed' ? 1 : 0, clickCount: 1 }, tab.sessionId);
}

async function typeInto(browser, tab, text) {
    for (const character of text)
        await pressKey(browser, tab, character);
}

test('a value typed over a knob is set as the app sets it and heard once; Escape, refused characters and no number change nothing', { timeout: 120000 }, async () => {
    await withPage(async (browser, tab) => {
        const [lowest, highest] = await browser.evaluate(tab,
            `(() => { const p = bleepforgePage.bf.params()[${kLevelIndex}]; return [p.min, p.max]; })()`);
        await browser.evaluate(tab, recordMessages);
        await click(browser, tab, kLevelValue, 2);
        assert.equal(await browser.evaluate(tab, `${field}.value`), '-96.0');
        await typeInto(browser, tab, '-12');
        await pressKey(browser, tab, 'Enter');
        const sounds = await browser.evaluate(tab, playedSounds);
        await browser.evaluate(tab, kSettle);
        assert.equal(sounds.length, 1);
        assert.equal(await browser.evaluate(tab, `${sent('noteOn')}.length`), 1);
        assert.equal(await browser.evaluate(tab, `!${field}`), true);
        const typed = await browser.evaluate(tab, `${values}[${kLevelIndex}]`);
        assert.ok(Math.abs(typed - -12) < 1e-9 * (highest - lowest), `set to ${typed}`);
        const code = await browser.evaluate(tab, 'bleepforgePage.sound.current()');

        // Escape: closed, nothing set.
        await browser.evaluate(tab, recordMessages);
        await click(browser, tab, kLevelValue, 2);
        await typeInto(browser, tab, '-3');
        await pressKey(browser, tab, 'Escape');
        assert.equal(await browser.evaluate(tab, `!${field}`), true);
        // Letters and an eighth character are refused as typed, and play no notes.
        await click(browser, tab, kLevelValue, 2);
        await typeInto(browser, tab, 'a-1234567');
        assert.equal(await browser.evaluate(tab, `${field}.value`), '-123456');
        // No number: Enter says so and keeps the field; a click elsewhere keeps the value.
        await browser.evaluate(tab, `${field}.select()`);
        await typeInto(browser, tab, '-');
        await pressKey(browser, tab, 'Enter');
        assert.equal(await browser.evaluate(tab, "document.getElementById('status').textContent"),
                     'Not a number: type one, or click elsewhere to keep the value');
        assert.equal(await browser.evaluate(tab, `${field}.value`), '-');
        await click(browser, tab, kNowhere);
        await browser.evaluate(tab, kSettle);
        assert.equal(await browser.evaluate(tab, `!${field}`), true);
        assert.equal(await browser.evaluate(tab, "document.getElementById('status').textContent"), '');
        assert.equal(await browser.evaluate(tab, 'bleepforgePage.sound.current()'), code);
        assert.deepEqual(await browser.evaluate(tab, 'window.sent'), []);
    });
});

test('a value confirmed as it was shown keeps the value it had, unrounded', { timeout: 120000 }, async () => {
    await withPage(async (browser, tab) => {
        await click(browser, tab, kNowhere); // audio starts at a gesture
        await browser.evaluate(tab, recordMessages);
        const code = await browser.evaluate(tab, `(() => {
            const values = [...${values}];
            values[${kLevelIndex}] = -12.34;
            const code = bleepforgePage.bf.fromValues(values).code;
            bleepforgePage.sound.set(code, 'open');
            return bleepforgePage.sound.current();
        })()`);
        await browser.evaluate(tab, playedSounds);
        await browser.evaluate(tab, recordMessages);
        await click(browser, tab, kLevelValue, 2);
        assert.equal(await browser.evaluate(tab, `${field}.value`), '-12.3');
        await pressKey(browser, tab, 'Enter');
        await click(browser, tab, kLevelValue, 2);
        await click(browser, tab, kNowhere);
        await browser.evaluate(tab, kSettle);
        assert.equal(await browser.evaluate(tab, 'bleepforgePage.sound.current()'), code);
        assert.deepEqual(await browser.evaluate(tab, 'window.sent'), []);
    });
});

test("a list control's menu checks the current entry, a choice sets it and is heard; Escape closes it", { timeout: 120000 }, async () => {
    await withPage(async (browser, tab) => {
        await browser.evaluate(tab, recordMessages);
        await click(browser, tab, kTypeValue);
        const entries = await browser.evaluate(tab, `[...document.querySelectorAll('.bleepforge-menu [role=menuitemradio]')]
            .map((item) => [item.textContent, item.getAttribute('aria-checked')])`);
        const current = await browser.evaluate(tab, `${values}[${kTypeIndex}]`);
        assert.equal(entries.length, 8);
        assert.deepEqual(entries.filter(([, checked]) => checked === 'true').map(([text]) => text), [entries[current][0]]);

        const saw = entries.findIndex(([text]) => text === 'Saw');
        await clickElement(browser, tab, `document.querySelectorAll('.bleepforge-menu [role=menuitemradio]')[${saw}]`);
        const sounds = await browser.evaluate(tab, playedSounds);
        assert.equal(sounds.length, 1);
        assert.equal(await browser.evaluate(tab, `${values}[${kTypeIndex}]`), saw);
        assert.equal(await browser.evaluate(tab, "!document.querySelector('.bleepforge-menu')"), true);

        await browser.evaluate(tab, recordMessages);
        await click(browser, tab, kTypeValue);
        await pressKey(browser, tab, 'ArrowDown', { phases: ['down'] });
        await pressKey(browser, tab, 'Escape');
        assert.equal(await browser.evaluate(tab, "!document.querySelector('.bleepforge-menu')"), true);
        await click(browser, tab, kTypeValue);
        await click(browser, tab, kNowhere);
        await browser.evaluate(tab, kSettle);
        assert.equal(await browser.evaluate(tab, "!document.querySelector('.bleepforge-menu')"), true);
        assert.equal(await browser.evaluate(tab, `${values}[${kTypeIndex}]`), saw);
        assert.deepEqual(await browser.evaluate(tab, 'window.sent'), []);
    });
});

test('the wheel over a knob turns it without scrolling the page, heard once when it rests; a double-click takes it back', { timeout: 120000 }, async () => {
    await withPage(async (browser, tab) => {
        await browser.evaluate(tab, `window.scrolled = 0;
            window.addEventListener('wheel', (event) => { window.scrolled += event.defaultPrevented ? 0 : 1; })`);
        await click(browser, tab, kNowhere); // audio starts at a gesture
        await browser.evaluate(tab, recordMessages);
        const before = await browser.evaluate(tab, `${values}[${kLevelIndex}]`);
        for (let notch = 0; notch < 5; ++notch)
            await hover(browser, tab, kKnob, { deltaY: -100 });
        const sounds = await browser.evaluate(tab, playedSounds);
        await browser.evaluate(tab, kSettle);
        assert.equal(sounds.length, 1);
        assert.equal(await browser.evaluate(tab, `${sent('noteOn')}.length`), 1);
        assert.ok(await browser.evaluate(tab, `${values}[${kLevelIndex}]`) > before);
        assert.equal(await browser.evaluate(tab, 'window.scrolled'), 0);

        // Over a spot with no control the wheel is the page's: it scrolls,
        // and the sound stays.
        const code = await browser.evaluate(tab, 'bleepforgePage.sound.current()');
        await hover(browser, tab, kNowhere, { deltaY: 100 });
        assert.equal(await browser.evaluate(tab, 'window.scrolled'), 1);
        assert.equal(await browser.evaluate(tab, 'bleepforgePage.sound.current()'), code);

        // A double-click on the knob takes it back to its default, heard too.
        await browser.evaluate(tab, recordMessages);
        await click(browser, tab, kKnob, 2);
        assert.equal((await browser.evaluate(tab, playedSounds)).length, 1);
        assert.equal(await browser.evaluate(tab, `${values}[${kLevelIndex}]`), before);
    });
});

test('musical typing plays from middle C by the octave, Space plays the sound, Escape stops it; Ctrl combinations play nothing', { timeout: 120000 }, async () => {
    await withPage(async (browser, tab) => {
        await browser.evaluate(tab, recordMessages);
        const notes = (type) => browser.evaluate(tab, `${sent(type)}.map((m) => m.note)`);
        await pressKey(browser, tab, 'a', { phases: ['down'] });
        await pressKey(browser, tab, 'a', { phases: ['down'] }); // the key repeats
        await browser.evaluate(tab, until(`${sent('noteOn')}.length`));
        await pressKey(browser, tab, 'x');
        await pressKey(browser, tab, 'a', { phases: ['up'] });
        await browser.evaluate(tab, until(`${sent('noteOff')}.length`));
        assert.deepEqual(await notes('noteOn'), [60]);
        assert.deepEqual(await notes('noteOff'), [60]);
        assert.equal(await browser.evaluate(tab, "document.getElementById('octave').textContent"), 'Octave: C5');
        await pressKey(browser, tab, 'k');
        await browser.evaluate(tab, until(`${sent('noteOff')}.length === 2`));
        for (let down = 0; down < 6; ++down)
            await pressKey(browser, tab, 'z');
        await pressKey(browser, tab, 'a');
        await browser.evaluate(tab, until(`${sent('noteOff')}.length === 3`));
        assert.deepEqual(await notes('noteOn'), [60, 84, 12]);

        await browser.evaluate(tab, recordMessages);
        await browser.send('Input.dispatchKeyEvent', { type: 'keyDown', key: 'a', code: 'KeyA', modifiers: 2, windowsVirtualKeyCode: 65 }, tab.sessionId);
        await browser.send('Input.dispatchKeyEvent', { type: 'keyUp', key: 'a', code: 'KeyA', modifiers: 2, windowsVirtualKeyCode: 65 }, tab.sessionId);
        await pressKey(browser, tab, ' ');
        const sounds = await browser.evaluate(tab, playedSounds);
        assert.deepEqual(sounds, [await browser.evaluate(tab, 'bleepforgePage.sound.current()')]);
        await pressKey(browser, tab, 'Escape');
        await browser.evaluate(tab, until(`${sent('allNotesOff')}.length`));
        assert.deepEqual(await notes('noteOn'), [60]);
    });
});

test('with "Play on change" off a generator press is not heard, and it stays off after a reload', { timeout: 120000 }, async () => {
    await withPage(async (browser, tab, server) => {
        await clickElement(browser, tab, "document.getElementById('play-on-change')");
        assert.equal(await browser.evaluate(tab, "document.getElementById('play-on-change').checked"), false);
        await browser.evaluate(tab, recordMessages);
        const before = await browser.evaluate(tab, 'bleepforgePage.sound.current()');
        await gesture(browser, tab, [kPickup]);
        await browser.evaluate(tab, until(`${sent('sound')}.length`));
        await browser.evaluate(tab, kSettle);
        assert.notEqual(await browser.evaluate(tab, 'bleepforgePage.sound.current()'), before);
        assert.equal(await browser.evaluate(tab, `${sent('noteOn')}.length`), 0);
        // The keys play the new sound.
        assert.deepEqual(await browser.evaluate(tab, `${sent('sound')}.map((m) => m.code)`),
                         [await browser.evaluate(tab, 'bleepforgePage.sound.current()')]);

        const again = await openPage(browser, `${server.url}/index.html`, 1);
        assert.equal(await browser.evaluate(again, "document.getElementById('play-on-change').checked"), false);
        await browser.evaluate(again, recordMessages);
        await gesture(browser, again, [kPickup]);
        await browser.evaluate(again, kSettle);
        assert.equal(await browser.evaluate(again, `${sent('noteOn')}.length`), 0);
        assert.deepEqual(again.errors, []);
    });
});

test("five PICKUP presses play five different sounds, and the worklet's output is not silent", { timeout: 120000 }, async () => {
    await withPage(async (browser, tab) => {
        await gesture(browser, tab, [kPickup]);
        await browser.evaluate(tab, `(async () => {
            const { context, node } = await bleepforgePage.audio.start();
            window.analyser = new AnalyserNode(context, { fftSize: 2048 });
            window.loudest = 0;
            node.connect(window.analyser);
            const samples = new Float32Array(window.analyser.fftSize);
            const listen = () => {
                window.analyser.getFloatTimeDomainData(samples);
                for (const sample of samples)
                    window.loudest = Math.max(window.loudest, Math.abs(sample));
                setTimeout(listen, 10);
            };
            listen();
        })()`);
        const codes = [];
        for (let press = 0; press < 5; ++press) {
            await browser.evaluate(tab, recordMessages);
            await gesture(browser, tab, [kPickup]);
            const sounds = await browser.evaluate(tab, playedSounds);
            assert.equal(sounds.length, 1);
            codes.push(sounds[0]);
        }
        assert.equal(new Set(codes).size, 5);
        // Heard within a few seconds, or silent.
        const loudest = await browser.evaluate(tab, `new Promise((resolve) => {
            const give = setTimeout(() => resolve(window.loudest), 5000);
            const check = () => window.loudest > 0.01 ? (clearTimeout(give), resolve(window.loudest)) : setTimeout(check, 20);
            check();
        })`);
        assert.ok(loudest > 0.01, `the loudest sample was ${loudest}`);
    });
});

test("hovering a control shows its tooltip, and the on-screen keyboard plays the key pressed", { timeout: 120000 }, async () => {
    await withPage(async (browser, tab) => {
        await hover(browser, tab, kKnob);
        assert.equal(await browser.evaluate(tab, "document.getElementById('editor').closest('.tile').title"), 'Osc2 Level');
        await hover(browser, tab, kPickup);
        assert.notEqual(await browser.evaluate(tab, "document.getElementById('editor').closest('.tile').title"), 'Osc2 Level');

        await browser.evaluate(tab, recordMessages);
        await gesture(browser, tab, [kLowestKey, { x: kLowestKey.x + 12, y: kLowestKey.y }]);
        await browser.evaluate(tab, until(`${sent('noteOff')}.length === 2`));
        const played = await browser.evaluate(tab, "window.sent.filter((m) => m.type.startsWith('note')).map((m) => [m.type, m.note])");
        assert.equal(played.length, 4);
        assert.deepEqual(played[0], ['noteOn', kLowestNote]);
        assert.deepEqual(played[1], ['noteOff', kLowestNote]);
        assert.equal(played[2][0], 'noteOn');
        assert.ok(played[2][1] > kLowestNote);
        assert.deepEqual(played[3], ['noteOff', played[2][1]]);
        assert.deepEqual(await browser.evaluate(tab, `${sent('sound')}.length`), 0);
    });
});

test('a typed value beyond the range is said with the range and changes nothing', { timeout: 120000 }, async () => {
    await withPage(async (browser, tab) => {
        const code = await browser.evaluate(tab, 'bleepforgePage.sound.current()');
        await click(browser, tab, kLevelValue, 2);
        await typeInto(browser, tab, '250');
        await pressKey(browser, tab, 'Enter');
        assert.equal(await browser.evaluate(tab, "document.getElementById('status').textContent"),
                     'Out of range: type a value from -96.0 to 0.0, or click elsewhere to keep the value');
        assert.equal(await browser.evaluate(tab, `${field}.value`), '250');
        await click(browser, tab, kNowhere);
        await browser.evaluate(tab, kSettle);
        assert.equal(await browser.evaluate(tab, `!${field}`), true);
        assert.equal(await browser.evaluate(tab, 'bleepforgePage.sound.current()'), code);
    });
});

test('after a toolbar button is clicked, Space plays the sound instead of pressing the button again', { timeout: 120000 }, async () => {
    await withPage(async (browser, tab) => {
        await click(browser, tab, kPickup);
        await click(browser, tab, kPickup);
        await browser.evaluate(tab, kSettle);
        await clickElement(browser, tab, "[...document.querySelectorAll('#toolbar button')].find((b) => /Undo/.test(b.textContent))");
        const afterUndo = await browser.evaluate(tab, 'bleepforgePage.sound.current()');
        await browser.evaluate(tab, recordMessages);
        await pressKey(browser, tab, ' ');
        await browser.evaluate(tab, until(`${sent('noteOn')}.length === 1`));
        assert.equal(await browser.evaluate(tab, 'bleepforgePage.sound.current()'), afterUndo, 'Space undid again');
    });
});

test('undo and redo tell the sound they bring back by the name it was made with, never the last generator\'s',
     { timeout: 120000 }, async () => {
    await withPage(async (browser, tab) => {
        await browser.send('Emulation.setFocusEmulationEnabled', { enabled: true }, tab.sessionId);
        const region = "document.getElementById('announce').textContent";
        const told = async (key, options, pattern) => {
            await browser.evaluate(tab, `document.getElementById('announce').textContent = ''`);
            await pressKey(browser, tab, key, options);
            const said = await browser.evaluate(tab, until(region));
            assert.match(said, pattern, `after ${key}`);
            return said;
        };
        const slash = await told('7', {}, /^slash \d+, \d+\.\d\d s$/);
        const mutated = await told('m', {}, /^slash \d+, \d+\.\d\d s$/);
        await told('r', {}, /^random \d+, \d+\.\d\d s$/);
        const undone = await told('z', { ctrl: true }, /^undo: slash \d+, \d+\.\d\d s$/);
        assert.equal(undone, `undo: ${mutated}`);
        assert.equal(await told('z', { ctrl: true }, /^undo: /), `undo: ${slash}`);
        await told('z', { ctrl: true, shift: true }, /^redo: slash /);
        await told('y', { ctrl: true }, /^redo: random \d+, /);
    });
});
