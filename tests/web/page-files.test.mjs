// The page's undo and redo, waveform strip, Export and Open, in headless
// Chromium, against the module's own files and the native command line.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { Bleepforge } from '../../build/web/bleepforge-node.mjs';
import { run } from './native.mjs';
import {
    canvasPixels, differingBytes, gesture, kKnob, kPickup, openPage, playedSounds, pressKey, recordMessages, snapshot,
    snapshotOf, withoutSlotNumber, withPage,
} from './pagedriver.mjs';

const bf = await Bleepforge.load();

async function withFolder(body) {
    const folder = mkdtempSync(join(tmpdir(), 'bleepforge-page-files-'));
    try {
        await body(folder);
    } finally {
        rmSync(folder, { recursive: true, force: true });
    }
}

// Resolves with the expression's value once it is truthy.
function until(browser, tab, expression) {
    return browser.evaluate(tab, `new Promise((resolve) => {
        const check = () => { const value = ${expression}; value ? resolve(value) : setTimeout(check, 20); };
        check();
    })`);
}

const current = (browser, tab) => browser.evaluate(tab, 'window.bleepforgePage.sound.current()');
const status = (browser, tab) => browser.evaluate(tab,
    `(() => { const line = document.getElementById('status'); return { text: line.textContent, error: line.classList.contains('error') }; })()`);
const undoRedoDisabled = (browser, tab) => browser.evaluate(tab,
    `[...document.querySelectorAll('#toolbar button')].filter((b) => /Undo|Redo/.test(b.textContent)).map((b) => b.disabled)`);

// The pointer over the pressed button, then onto a knob (drawn the same
// hovered or not), so that no button is drawn pressed or hovered.
async function pointerAway(browser, tab, from) {
    const box = await browser.evaluate(tab, "(() => { const b = document.getElementById('editor').getBoundingClientRect(); return { x: b.left, y: b.top }; })()");
    for (const { x, y } of [from, kKnob])
        await browser.send('Input.dispatchMouseEvent', { type: 'mouseMoved', x: box.x + x, y: box.y + y }, tab.sessionId);
}

// Opened sounds join the list, so the slot box's number is left out.
async function pictureEquals(browser, tab, expected, what) {
    const shown = withoutSlotNumber(await canvasPixels(browser, tab));
    assert.equal(differingBytes(shown.rgb, withoutSlotNumber({ ...expected, rgb: Buffer.from(expected.rgb) }).rgb), 0, what);
}

async function openFile(browser, tab, path) {
    const { root } = await browser.send('DOM.getDocument', {}, tab.sessionId);
    const { nodeId } = await browser.send('DOM.querySelector', { nodeId: root.nodeId, selector: '#open-file' },
                                          tab.sessionId);
    await browser.send('DOM.setFileInputFiles', { nodeId, files: [path] }, tab.sessionId);
}

// Opens a file and waits for the status line to answer.
async function openAndHear(browser, tab, path) {
    await browser.evaluate(tab, "document.getElementById('status').textContent = ''");
    await openFile(browser, tab, path);
    await until(browser, tab, "document.getElementById('status').textContent");
    return status(browser, tab);
}

test('Ctrl+Z undoes PICKUP and Ctrl+Shift+Z or Ctrl+Y redoes it, each heard, the buttons following', { timeout: 120000 }, async () => {
    await withPage(async (browser, tab) => {
        const first = await current(browser, tab);
        assert.deepEqual(await undoRedoDisabled(browser, tab), [true, true]);
        await gesture(browser, tab, [kPickup]);
        await pointerAway(browser, tab, kPickup);
        const picked = await canvasPixels(browser, tab);
        const pickedCode = await current(browser, tab);
        assert.notEqual(pickedCode, first);
        assert.deepEqual(await undoRedoDisabled(browser, tab), [false, true]);

        await browser.evaluate(tab, recordMessages);
        await pressKey(browser, tab, 'z', { ctrl: true });
        await pictureEquals(browser, tab, snapshot(1), 'Ctrl+Z after PICKUP');
        assert.deepEqual(await browser.evaluate(tab, playedSounds), [first]);
        assert.deepEqual(await undoRedoDisabled(browser, tab), [true, false]);

        await pressKey(browser, tab, 'Z', { ctrl: true, shift: true });
        await pictureEquals(browser, tab, picked, 'Ctrl+Shift+Z');
        await pressKey(browser, tab, 'z', { ctrl: true });
        await pressKey(browser, tab, 'y', { ctrl: true });
        await pictureEquals(browser, tab, picked, 'Ctrl+Y');
        assert.equal(await current(browser, tab), pickedCode);

        // In a field the keys are the field's.
        await browser.evaluate(tab, `(() => {
            [...document.querySelectorAll('#toolbar button')].find((b) => /Paste code/.test(b.textContent)).click();
        })()`);
        await pressKey(browser, tab, 'z', { ctrl: true });
        assert.equal(await current(browser, tab), pickedCode, 'Ctrl+Z while typing in a field');
    });
});

test('201 changes can all be undone to the first; beyond 500 the oldest go; a new change clears redo', { timeout: 120000 }, async () => {
    await withPage(async (browser, tab) => {
        const walk = (changes) => browser.evaluate(tab, `(() => {
            const { bf, sound } = window.bleepforgePage;
            const undo = [...document.querySelectorAll('#toolbar button')].find((b) => /Undo/.test(b.textContent));
            const first = sound.current();
            const codes = [];
            for (let seed = 1; codes.length < ${changes}; ++seed) {
                const code = bf.generate('random', { seed: seed * 7919 + ${changes} }).code;
                if (code !== (codes.at(-1) ?? first)) {
                    codes.push(code);
                    sound.set(code, 'edit');
                }
            }
            const undone = [];
            while (!undo.disabled)
                (undo.click(), undone.push(sound.current()));
            return { first, codes, undone };
        })()`);
        const short = await walk(201);
        assert.equal(short.undone.length, 201);
        assert.deepEqual(short.undone, [...short.codes.slice(0, 200).reverse(), short.first]);

        const long = await walk(502);
        assert.equal(long.undone.length, 500);
        assert.equal(long.undone.at(-1), long.codes[1]);

        const redoCleared = await browser.evaluate(tab, `(() => {
            const { bf, sound } = window.bleepforgePage;
            sound.set(bf.generate('blip', { seed: 5 }).code, 'edit');
            const [undo, redo] = [...document.querySelectorAll('#toolbar button')].filter((b) => /Undo|Redo/.test(b.textContent));
            undo.click();
            const could = !redo.disabled;
            sound.set(bf.generate('jump', { seed: 5 }).code, 'open');
            return [could, redo.disabled];
        })()`);
        assert.deepEqual(redoCleared, [true, true]);
    });
});

// Sets the export dialog's choices and presses Export.
function exportWith(choices) {
    return `(() => {
        const dialog = document.getElementById('export-dialog');
        const [format, channels, rate, normalize] = dialog.querySelectorAll('select');
        Object.assign(format, { value: '${choices.format}' });
        channels.value = '${choices.channels}';
        rate.value = '${choices.rate}';
        normalize.value = '${choices.normalize}';
        normalize.dispatchEvent(new Event('change'));
        ${choices.level === undefined ? '' : `dialog.querySelector('input[name=${choices.normalize}]').value = '${choices.level}';`}
        dialog.querySelector('button[type=submit]').click();
    })()`;
}

const dialogChoices = `(() => {
    const dialog = document.getElementById('export-dialog');
    const selects = [...dialog.querySelectorAll('select')].map((s) => s.value);
    return [...selects, ...[...dialog.querySelectorAll('input')].map((i) => i.value)];
})()`;

async function downloaded(browser, tab, path) {
    await until(browser, tab, "!document.getElementById('export-dialog')");
    for (let waited = 0; !existsSync(path); waited += 50) {
        assert.ok(waited < 20000, `no ${path} after 20 s`);
        await new Promise((resolve) => setTimeout(resolve, 50));
    }
    return readFileSync(path);
}

test('Export downloads the module\'s WAV of the sound, named from the kind, which the command line and the page reopen', { timeout: 180000 }, async () => {
    await withFolder(async (folder) => withPage(async (browser, tab, server) => {
        await browser.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
        await gesture(browser, tab, [kPickup]);
        await pointerAway(browser, tab, kPickup);
        const code = await current(browser, tab);

        await pressKey(browser, tab, 'e', { ctrl: true });
        assert.deepEqual(await browser.evaluate(tab, dialogChoices), ['pcm16', '1', '44100', 'none', '-1', '-16']);
        await browser.evaluate(tab, "document.querySelector('#export-dialog button[type=submit]').click()");
        const plain = await downloaded(browser, tab, join(folder, 'pickup-1.wav'));
        assert.ok(plain.equals(Buffer.from(bf.wav(code, { channels: 1, seed: 1 }))), 'pickup-1.wav');
        assert.deepEqual(await status(browser, tab), { text: 'Exported pickup-1.wav', error: false });

        // A sound with noise: its file is the same only if the export is
        // seeded. Opened from a code, it is named as a sound, not as the
        // last generator's kind.
        const noisy = bf.generate('slash', { seed: 1 }).code;
        await browser.evaluate(tab, `window.bleepforgePage.sound.set(${JSON.stringify(noisy)}, 'open')`);
        const choices = { format: 'pcm24', channels: 2, rate: 48000, normalize: 'peak', level: -3 };
        await pressKey(browser, tab, 'e', { ctrl: true });
        await browser.evaluate(tab, exportWith(choices));
        const file = join(folder, 'sound-1.wav');
        const chosen = await downloaded(browser, tab, file);
        assert.ok(chosen.equals(Buffer.from(bf.wav(noisy, { format: 'pcm24', channels: 2, rate: 48000, seed: 1,
                                                              normalize: 'peak:-3' }))), 'sound-1.wav');
        assert.equal(run(['show', file]), run(['show', noisy]));

        // A level out of range is refused in the dialog, and nothing is
        // downloaded; the page's shortcuts wait while the dialog is open.
        await pressKey(browser, tab, 'e', { ctrl: true });
        await pressKey(browser, tab, 'z', { ctrl: true });
        assert.equal(await current(browser, tab), noisy, 'Ctrl+Z behind the dialog');
        await browser.evaluate(tab, exportWith({ ...choices, level: 3 }));
        assert.match(await until(browser, tab, "document.querySelector('#export-dialog .problem').textContent"),
                     /^Cannot export: .*-60 \.\.\. 0/);
        await browser.evaluate(tab, "document.getElementById('export-dialog').close()");

        // The page opens the file again as the sound it carries.
        await browser.evaluate(tab, "window.bleepforgePage.sound.set(window.bleepforgePage.bf.generate('hit', { seed: 3 }).code, 'open')");
        await browser.evaluate(tab, recordMessages);
        assert.deepEqual(await openAndHear(browser, tab, file), { text: 'Opened sound-1.wav', error: false });
        await pictureEquals(browser, tab, snapshotOf(noisy), 'the opened export');
        assert.deepEqual(await browser.evaluate(tab, playedSounds), [noisy]);

        // The choices outlast the visit.
        const again = await openPage(browser, `${server.url}/index.html`, 1);
        await pressKey(browser, again, 'e', { ctrl: true });
        assert.deepEqual(await browser.evaluate(again, dialogChoices), ['pcm24', '2', '48000', 'peak', '-3', '-16']);
        assert.deepEqual(again.errors, []);

        // A damaged store keeps what it holds of the choices, the rest as by default.
        for (const [kept, shown] of [['{"format":"mp3","rate":12345,"channels":2,"lufs":-99}', ['pcm16', '2', '44100', 'none', '-1', '-16']],
                                     ['{"format', ['pcm16', '1', '44100', 'none', '-1', '-16']]]) {
            await browser.evaluate(again, `localStorage.setItem('bleepforge.export', ${JSON.stringify(kept)})`);
            const damaged = await openPage(browser, `${server.url}/index.html`, 1);
            await pressKey(browser, damaged, 'e', { ctrl: true });
            assert.deepEqual(await browser.evaluate(damaged, dialogChoices), shown, kept);
            assert.deepEqual(damaged.errors, []);
        }
    }));
});

test('a state file opens its sound; damaged files are refused in the app\'s words and the sound stays', { timeout: 120000 }, async () => {
    await withFolder(async (folder) => withPage(async (browser, tab) => {
        // A click on the strip plays the sound, and lets the page start its audio.
        await browser.evaluate(tab, recordMessages);
        const strip = await browser.evaluate(tab, "(() => { const b = document.getElementById('strip').getBoundingClientRect(); return { x: b.left + 100, y: b.top + 30 }; })()");
        for (const type of ['mousePressed', 'mouseReleased'])
            await browser.send('Input.dispatchMouseEvent', { type, ...strip, button: 'left', clickCount: 1 }, tab.sessionId);
        assert.deepEqual(await browser.evaluate(tab, playedSounds), [await current(browser, tab)], 'a click on the strip');

        const wav = join(folder, 'jump.wav'), state = join(folder, 'jump.state');
        run(['generate', 'jump', '--seed', '12', '-o', wav, '--state-out', state]);
        const code = run(['share', state]).trim();
        assert.deepEqual(await openAndHear(browser, tab, state), { text: 'Opened jump.state', error: false });
        await pictureEquals(browser, tab, snapshotOf(code), 'the opened state');
        const shown = await canvasPixels(browser, tab);
        await browser.evaluate(tab, recordMessages);
        await openAndHear(browser, tab, state);
        assert.deepEqual(await browser.evaluate(tab, playedSounds), [code], 'the same sound opened again');

        const bytes = readFileSync(wav), stateBytes = readFileSync(state);
        const presetFile = join(folder, 'jump.aupreset');
        writeFileSync(presetFile, preset(stateBytes));
        await browser.evaluate(tab, `window.bleepforgePage.sound.set(window.bleepforgePage.bf.generate('hit', { seed: 3 }).code, 'open')`);
        assert.deepEqual(await openAndHear(browser, tab, presetFile), { text: 'Opened jump.aupreset', error: false });
        assert.equal(await current(browser, tab), code);
        const at = bytes.indexOf('bfs1:', bytes.indexOf('bfst'));
        const damagedCode = Buffer.from(bytes);
        damagedCode[at + 10] = damagedCode[at + 10] === 0x41 ? 0x42 : 0x41;
        const silent = Buffer.from(bytes);
        silent.write('junk', bytes.indexOf('bfst'));
        const nan = Buffer.from(stateBytes);
        nan.writeDoubleLE(NaN, 4 + 8 * 3);
        const refusals = [
            ['cut.wav', bytes.subarray(0, at), /^Error: 'cut\.wav' is not an audio file that can be read: the WAV file is cut short$/],
            ['plain.wav', silent, /^Error: 'plain\.wav' holds no Bleepforge sound: only audio files that Bleepforge wrote can be opened as sounds$/],
            ['damaged.wav', damagedCode, /^Error: the sound in 'damaged\.wav' is damaged: /],
            ['short.state', stateBytes.subarray(0, 483), /^Error: 'short\.state' is not a complete state \(483 bytes, expected 484\)$/],
            ['nan.bin', nan, /^Error: 'nan\.bin' holds a value that is not a finite number \(parameter 3\)$/],
            ['text.wav', Buffer.from('hello'), /^Error: 'text\.wav' is not an audio file that can be read: not a WAV file$/],
            ['short.aupreset', preset(stateBytes.subarray(0, 480)), /^Error: 'short\.aupreset' holds no Bleepforge sound \(480 bytes of data, expected 484\)$/],
            ['other.aupreset', preset(stateBytes, 'jpeg'), /^Error: 'other\.aupreset' is not a preset \(no "data" in a property list\)$/],
            // A long name is quoted by its first 40 characters.
            [`${'n'.repeat(200)}.state`, nan, /^Error: 'n{40}…' holds a value that is not a finite number/],
            [`${'n'.repeat(200)}.wav`, silent, /^Error: 'n{40}…' holds no Bleepforge sound/],
        ];
        for (const [name, content, message] of refusals) {
            const path = join(folder, name);
            writeFileSync(path, content);
            const said = await openAndHear(browser, tab, path);
            assert.match(said.text, message, name);
            assert.ok(said.error, name);
            assert.equal(await current(browser, tab), code, name);
        }
        await pictureEquals(browser, tab, shown, 'after the refusals');

        // A file dropped on the page opens as a picked one does.
        await browser.evaluate(tab, `window.bleepforgePage.sound.set(window.bleepforgePage.bf.generate('blip', { seed: 2 }).code, 'open')`);
        await browser.evaluate(tab, `(() => {
            document.getElementById('status').textContent = '';
            const bytes = Uint8Array.from(atob('${bytes.toString('base64')}'), (c) => c.charCodeAt(0));
            const data = new DataTransfer();
            data.items.add(new File([bytes], 'dropped.wav', { type: 'audio/wav' }));
            document.getElementById('editor').dispatchEvent(new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }));
        })()`);
        assert.equal(await until(browser, tab, "document.getElementById('status').textContent"), 'Opened dropped.wav');
        assert.equal(await current(browser, tab), code);
    }));
});

// An .aupreset as the app and auhost write it, holding `state` as its data.
function preset(state, key = 'data') {
    return `<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>version</key>
	<integer>65536</integer>
	<key>name</key>
	<string>-</string>
	<key>${key}</key>
	<data>
	${state.toString('base64').replace(/.{68}/g, '$&\n\t')}
	</data>
</dict>
</plist>
`;
}

// A paste event as Ctrl+V sends it, its text given.
const paste = (text) => `(() => {
    const data = new DataTransfer();
    data.setData('text/plain', ${JSON.stringify(text)});
    document.body.dispatchEvent(new ClipboardEvent('paste', { clipboardData: data, bubbles: true, cancelable: true }));
})()`;

test('a pasted sound code opens its sound, by Ctrl+V or in the paste field; other text is refused', { timeout: 120000 }, async () => {
    await withPage(async (browser, tab) => {
        const first = await current(browser, tab);
        await browser.evaluate(tab, paste('hello'));
        assert.deepEqual(await status(browser, tab),
                         { text: 'Error: the clipboard holds no sound code (they begin with bfs1:) and no link to a sound',
                           error: true });
        const damaged = bf.generate('blip', { seed: 9 }).code.replace(/.$/, (c) => (c === 'A' ? 'B' : 'A'));
        await browser.evaluate(tab, paste(damaged));
        assert.ok((await status(browser, tab)).error);
        assert.equal(await current(browser, tab), first);

        const blip = bf.generate('blip', { seed: 9 }).code;
        await browser.evaluate(tab, paste(`  ${blip}\n`));
        // No gesture has started the audio yet: the message says how to hear it.
        assert.deepEqual(await status(browser, tab),
                         { text: 'Pasted a sound code: press any key or click to hear it', error: false });
        await pictureEquals(browser, tab, snapshotOf(blip), 'the pasted code');

        // A link as Copy link gives it, whole or as its fragment, and a code among words.
        const jump = bf.generate('jump', { seed: 2 }).code;
        const { link } = bf.core.linkOfCode(jump);
        await browser.evaluate(tab, paste(`http://example.org/bleepforge/#${link}`));
        assert.equal((await status(browser, tab)).error, false);
        await pictureEquals(browser, tab, snapshotOf(jump), 'the pasted link');
        await browser.evaluate(tab, paste(`here: ${blip} enjoy`));
        await pictureEquals(browser, tab, snapshotOf(blip), 'the code among words');
        await browser.evaluate(tab, paste(link.slice(0, -4)));
        assert.match((await status(browser, tab)).text, /^Error: the clipboard holds a damaged link \(/);
        await pictureEquals(browser, tab, snapshotOf(blip), 'the sound kept after a damaged link');

        // The field opens over the editor: nothing on the page moves.
        const layout = `[...document.querySelectorAll('#toolbar button:not(form button), #editor, #strip, #status')]
            .map((e) => { const b = e.getBoundingClientRect(); return [b.left, b.top, b.width, b.height]; })
            .concat([[document.documentElement.scrollWidth, document.documentElement.scrollHeight]])`;
        const before = await browser.evaluate(tab, layout);
        const coin = bf.generate('coin', { seed: 4 }).code;
        await browser.evaluate(tab, `[...document.querySelectorAll('#toolbar button')].find((b) => /Paste code/.test(b.textContent)).click()`);
        assert.equal(await browser.evaluate(tab, "document.activeElement.id"), 'paste-code');
        assert.deepEqual(await browser.evaluate(tab, layout), before);
        await browser.send('Input.insertText', { text: coin }, tab.sessionId);
        await browser.send('Input.dispatchKeyEvent',
                           { type: 'keyDown', key: 'Enter', code: 'Enter', windowsVirtualKeyCode: 13, text: '\r' }, tab.sessionId);
        await pictureEquals(browser, tab, snapshotOf(coin), 'the code typed into the field');
        assert.equal(await browser.evaluate(tab, "document.getElementById('paste-code').closest('form').hidden"), true);
    });
});

// The caption the strip shows for a sound rendered as Export writes it.
function expectedCaption(code, { rate = 44100, channels = 1, normalize = '' } = {}) {
    const rendered = bf.render(code, { rate, channels, seed: 1, normalize });
    const peakOf = (samples) => Math.max(...samples.map((channel) => channel.reduce((m, s) => Math.max(m, Math.abs(s)), 0)));
    let caption = `${(rendered[0].length / rate).toFixed(3)} s   peak ${(20 * Math.log10(peakOf(rendered))).toFixed(1)} dBFS`;
    if (normalize) {
        const gain = peakOf(rendered) / peakOf(bf.render(code, { rate, channels, seed: 1 }));
        caption += `   exported at ${gain >= 1 ? '+' : ''}${(20 * Math.log10(gain)).toFixed(1)} dB`;
    }
    const clipped = rendered.reduce((n, channel) => n + channel.filter((s) => Math.abs(s) >= 1).length, 0);
    return { caption, clipped };
}

const stripCaption = (previous) =>
    `(() => { const text = document.getElementById('strip-caption').textContent;
              return text !== 'Rendering…' && text !== ${JSON.stringify(previous)} && text; })()`;

test('the strip shows the sound as Export writes it: its length, its peak, the gain and where it clips', { timeout: 120000 }, async () => {
    await withPage(async (browser, tab, server) => {
        const first = await current(browser, tab);
        const shown = await until(browser, tab, stripCaption(''));
        assert.equal(shown, expectedCaption(first).caption);

        await gesture(browser, tab, [kPickup]);
        const pickup = await current(browser, tab);
        assert.equal(await until(browser, tab, stripCaption(shown)), expectedCaption(pickup).caption);

        // Changes in quick succession render once, the last of them.
        const burst = Array.from({ length: 10 }, (_, i) => bf.generate('random', { seed: 100 + i }).code);
        await browser.evaluate(tab, `(() => {
            window.renders = [];
            const post = Worker.prototype.postMessage;
            Worker.prototype.postMessage = function (message, ...rest) {
                if (message.code)
                    window.renders.push(message.code);
                return post.call(this, message, ...rest);
            };
            for (const code of ${JSON.stringify(burst)})
                window.bleepforgePage.sound.set(code, 'open');
        })()`);
        assert.equal(await until(browser, tab, stripCaption(expectedCaption(pickup).caption)),
                     expectedCaption(burst.at(-1)).caption);
        assert.deepEqual(await browser.evaluate(tab, 'window.renders'), [burst.at(-1)]);

        // Too loud to fit: red marks and the count of clipped samples.
        const loud = bf.fromValues(bf.parse(first).values.map((v, i) => (i === 0 ? 12 : v))).code;
        await browser.evaluate(tab, `window.bleepforgePage.sound.set(${JSON.stringify(loud)}, 'open')`);
        const { caption, clipped } = expectedCaption(loud);
        assert.ok(clipped > 0);
        assert.equal(await until(browser, tab, stripCaption(expectedCaption(burst.at(-1)).caption)), caption);
        assert.equal(await browser.evaluate(tab, "document.querySelector('#strip .caption').children[1].textContent"),
                     `${clipped} samples clip in the export`);
        const red = await browser.evaluate(tab, `(() => {
            const canvas = document.querySelector('#strip canvas');
            const rgba = canvas.getContext('2d').getImageData(0, canvas.height - 1, canvas.width, 1).data;
            let columns = 0;
            for (let i = 0; i < rgba.length; i += 4)
                columns += rgba[i] === 217 && rgba[i + 1] === 38 ? 1 : 0;
            return columns;
        })()`);
        assert.ok(red > 0, 'no red mark where samples clip');

        // Export's normalising is what the strip shows.
        await browser.evaluate(tab, `localStorage.setItem('bleepforge.export',
            JSON.stringify({ format: 'pcm16', channels: 2, rate: 22050, normalize: 'lufs', lufs: -20 }))`);
        const again = await openPage(browser, `${server.url}/index.html`, 1);
        await browser.evaluate(again, `window.bleepforgePage.sound.set(${JSON.stringify(pickup)}, 'open')`);
        const normalized = expectedCaption(pickup, { rate: 22050, channels: 2, normalize: 'lufs:-20' }).caption;
        assert.match(normalized, /exported at/);
        assert.equal(await until(browser, again, `document.getElementById('strip-caption').textContent === ${JSON.stringify(normalized)}`), true);
        assert.deepEqual(again.errors, []);
    });
});
