// Sounds in and out of the page: Export downloads a WAV that carries the
// sound; Open takes such a WAV, a 484-byte state file or an .aupreset, by the
// picker or dropped on the page; a pasted sound code opens its sound.
import { button, download, element, keysAreElsewhere } from './controls.mjs';
import { choose, currentChoices, kFormats, kRates, kTargets, wavOptions } from './exportchoices.mjs';
import { isLayeredSound, kHearIt, kLayered } from './links.mjs';
import { shortened } from './bleepforge-checks.mjs';

// Far beyond any sound Bleepforge writes at the page's choices; a larger
// file is refused before it is read into memory.
const kMostFileBytes = 256 * 1024 * 1024;

const kStyle = `
#export-dialog { background: #26262c; color: #d8d8dc; border: 1px solid #55555f; border-radius: 6px;
                 padding: 14px 18px; font: 13px/1.4 sans-serif; }
#export-dialog::backdrop { background: rgba(0, 0, 0, 0.5); }
#export-dialog h2 { font-size: 15px; margin: 0 0 12px; }
#export-dialog .choices { display: grid; grid-template-columns: auto 11em; gap: 8px 12px; align-items: center; }
#export-dialog label { display: contents; }
#export-dialog label[hidden] { display: none; }
#export-dialog .problem { color: #ff8080; min-height: 1.4em; max-width: 22em; margin: 10px 0; }
#export-dialog .buttons { display: flex; justify-content: flex-end; gap: 8px; }
/* The paste field opens under the toolbar, within its width, so that nothing moves. */
#toolbar { position: relative; }
#toolbar .paste { display: inline-flex; }
#toolbar .paste form { position: absolute; left: 0; top: calc(100% + 4px); z-index: 5; display: flex; gap: 4px;
                       padding: 6px; background: #26262c; border: 1px solid #55555f; border-radius: 6px;
                       box-shadow: 0 3px 10px #0008; }
#toolbar .paste form[hidden] { display: none; }
`;

function labelled(text, control) {
    return element('label', {}, [element('span', { textContent: text }), control]);
}

function select(entries, chosen) {
    const made = element('select');
    for (const [value, text] of entries)
        made.append(element('option', { value: String(value), textContent: text, selected: value === chosen }));
    return made;
}

// The names of this visit's exports count per kind: pickup-1.wav, pickup-2.wav, …
class ExportNames {
    constructor() {
        this.counts = new Map();
    }

    next(kind) {
        const name = kind || 'sound';
        const count = (this.counts.get(name) ?? 0) + 1;
        this.counts.set(name, count);
        return `${name}-${count}.wav`;
    }
}

// The state an .aupreset holds in its "data", as the app and the command
// line read it; a binary property list is left to them. `name` is the file's
// as messages quote it; a state is `stateBytes` long.
function presetState(bytes, name, stateBytes) {
    const text = new TextDecoder().decode(bytes);
    const list = new DOMParser().parseFromString(text, 'application/xml');
    const keys = [...list.querySelectorAll('plist > dict > key')];
    const data = keys.find((key) => key.textContent === 'data')?.nextElementSibling;
    if (list.querySelector('parsererror') || data?.tagName !== 'data')
        throw new Error(`'${name}' is not a preset (no "data" in a property list)`);
    let state;
    try {
        state = Uint8Array.from(atob(data.textContent.replace(/\s+/g, '')), (c) => c.charCodeAt(0));
    } catch {
        throw new Error(`'${name}' is not a preset (its "data" is not base64)`);
    }
    if (state.length !== stateBytes)
        throw new Error(`'${name}' holds no Bleepforge sound (${state.length} bytes of data, expected ${stateBytes})`);
    return state;
}

// The dialog of Export's choices; onExport(choices) answers why it cannot
// export ('' when it did).
function exportDialog(onExport) {
    const choices = currentChoices();
    const format = select(Object.entries(kFormats), choices.format);
    const channels = select([[1, 'Mono'], [2, 'Stereo']], choices.channels);
    const rate = select(kRates.map((r) => [r, `${r} Hz`]), choices.rate);
    const normalize = select([['none', 'Off'], ['peak', 'Peak'], ['lufs', 'Loudness']], choices.normalize);
    normalize.title = 'Peak: the highest sample to the level. Loudness: EBU R128 loudness to the level with the ' +
        'true peak at most −1 dBTP, as bleepforge render --normalize lufs measures it';
    const targets = {};
    for (const [kind, range] of Object.entries(kTargets)) {
        const input = element('input', { type: 'number', min: range.min, max: range.max, step: 'any',
                                          value: choices[kind], title: `${range.min} … ${range.max} ${range.unit}` });
        input.name = kind;
        targets[kind] = labelled(`Level (${range.unit})`, input);
    }
    const showTarget = () => {
        for (const [kind, label] of Object.entries(targets))
            label.hidden = normalize.value !== kind;
    };
    normalize.addEventListener('change', showTarget);
    showTarget();
    const problem = element('p', { className: 'problem', role: 'alert' });
    const cancel = element('button', { type: 'button', textContent: 'Cancel' });
    const confirm = element('button', { type: 'submit', textContent: 'Export', autofocus: true });
    // The package checks the levels and says what is wrong with them.
    const form = element('form', { method: 'dialog', noValidate: true }, [
        element('h2', { textContent: 'Export sound' }),
        element('div', { className: 'choices' }, [
            labelled('Samples', format), labelled('Channels', channels), labelled('Rate', rate),
            labelled('Normalise', normalize), ...Object.values(targets),
        ]),
        problem,
        element('div', { className: 'buttons' }, [cancel, confirm]),
    ]);
    const dialog = element('dialog', { id: 'export-dialog' }, [form]);
    cancel.addEventListener('click', () => dialog.close());
    form.addEventListener('submit', (event) => {
        event.preventDefault();
        const chosen = {
            format: format.value, channels: Number(channels.value), rate: Number(rate.value),
            normalize: normalize.value,
            peak: targets.peak.querySelector('input').valueAsNumber,
            lufs: targets.lufs.querySelector('input').valueAsNumber,
        };
        problem.textContent = onExport(chosen);
        if (!problem.textContent)
            dialog.close();
    });
    dialog.addEventListener('close', () => dialog.remove());
    document.body.append(dialog);
    dialog.showModal();
    return dialog;
}

// What an export is named after: the kind a generator made, or the file a
// sound was opened from ("sound" for a code or a link).
function exportNameFollowsTheSound(page) {
    const { editor, sound } = page;
    let origin = editor.kind();
    let slotCount = editor.slotCount();
    let opened = null;
    sound.listen((code, cause) => {
        const slots = editor.slotCount();
        if (cause === 'edit' && slots > slotCount)
            origin = editor.kind(); // a generator keeps its sound as a new slot
        else if (cause === 'open' || cause === 'restore')
            origin = opened ?? 'sound';
        slotCount = slots;
        opened = null;
    });
    return {
        current: () => origin,
        // Said just before a file's sound is shown.
        openingFile: (name) => { opened = name.replace(/\.[^.]*$/, '').replace(/[^\w.-]+/g, '_') || 'sound'; },
    };
}

// The fragment of a link (all after "#", unescaped), or the text itself when
// it has none; "" for text that holds no word.
function linkFragment(text) {
    const raw = text.slice(text.indexOf('#') + 1).split(/\s/)[0];
    try {
        return decodeURIComponent(raw);
    } catch {
        return raw;
    }
}

export function install(page) {
    const { bf, editor, sound, say } = page;
    const names = new ExportNames();
    const { codePrefix } = bf.core;
    const origin = exportNameFollowsTheSound(page);

    function exportSound(choices) {
        let bytes;
        try {
            bytes = bf.wav(sound.current(), wavOptions(choices));
        } catch (error) {
            return `Cannot export: ${error.message}`;
        }
        choose(choices);
        const name = names.next(origin.current());
        download(bytes, name);
        say(`Exported ${name}`);
        return '';
    }

    // Shows a sound from outside; its refusal is said in the app's words.
    // The sound already shown is heard again too, as opening it asks.
    function show(code, done) {
        const before = sound.current();
        const refused = sound.set(code, 'open');
        if (refused) {
            say(`Error: ${refused}`, { error: true });
            return false;
        }
        if (sound.current() === before)
            page.audio.play(before);
        say(page.audio.ready ? done : `${done}: ${kHearIt}`);
        return true;
    }

    // The words the desktop app uses for a WAV it cannot take a sound from
    // (`name`: the file's, as messages quote it).
    function wavCode(bytes, name) {
        try {
            return bf.parseWav(bytes).code;
        } catch (error) {
            if (error.reason === 'no-sound')
                throw new Error(`'${name}' holds no Bleepforge sound: only audio files that Bleepforge wrote can ` +
                                'be opened as sounds');
            if (error.reason === 'layered')
                throw new Error(`'${name}' holds ${kLayered}`);
            if (error.reason === 'not-wav')
                throw new Error(`'${name}' is not an audio file that can be read: ${error.message}`);
            throw new Error(`the sound in '${name}' is damaged: ${error.message}`);
        }
    }

    function codeOfFile(bytes, fileName) {
        const head = String.fromCharCode(...bytes.subarray(0, 12));
        const name = shortened(fileName);
        if (/\.wav$/i.test(fileName) || head.startsWith('RIFF'))
            return wavCode(bytes, name);
        if (head.startsWith('bplist'))
            throw new Error(`'${name}' is a binary property list, which the page cannot read: open it in the app`);
        if (/\.aupreset$/i.test(fileName) || head.startsWith('<?xml'))
            return bf.parseState(presetState(bytes, name, bf.core.stateBytes), fileName).code;
        return bf.parseState(bytes, fileName).code;
    }

    async function openFile(file) {
        try {
            if (file.size > kMostFileBytes)
                throw new Error(`'${shortened(file.name)}' is too large (${file.size} bytes) to be a sound from ` +
                                'Bleepforge');
            const code = codeOfFile(new Uint8Array(await file.arrayBuffer()), file.name);
            origin.openingFile(file.name);
            show(code, `Opened ${shortened(file.name)}`);
        } catch (error) {
            say(`Error: ${error.message}`, { error: true });
        }
    }

    // Text that should hold a sound, from `where` (the clipboard, …): a code,
    // a code among other words, or a link to a sound as Copy link gives it.
    function openCode(text, where) {
        const trimmed = text.trim();
        const at = trimmed.indexOf(codePrefix);
        if (at >= 0)
            return show(trimmed.slice(at).split(/\s/)[0], 'Pasted a sound code');
        const link = linkFragment(trimmed);
        if (link && isLayeredSound(bf, link)) {
            say(`Error: ${where} holds ${kLayered}`, { error: true });
            return false;
        }
        if (link) {
            const { code, reason, why } = bf.core.codeOfLink(link);
            if (code)
                return show(code, 'Opened the sound in the link');
            if (reason === 'damaged') {
                say(`Error: ${where} holds a damaged link (${why})`, { error: true });
                return false;
            }
        }
        say(`Error: ${where} holds no sound code (they begin with ${codePrefix}) and no link to a sound`,
            { error: true });
        return false;
    }

    const picker = element('input', { type: 'file', accept: '.wav,.bin,.state,.aupreset,audio/wav', hidden: true });
    picker.id = 'open-file';
    picker.addEventListener('change', () => {
        if (picker.files.length > 0)
            openFile(picker.files[0]);
        picker.value = '';
    });

    const pasteField = element('input', { type: 'text', placeholder: `${codePrefix}…`, size: 24, spellcheck: false });
    pasteField.id = 'paste-code';
    const pasteForm = element('form', { hidden: true }, [pasteField,
        element('button', { type: 'submit', textContent: 'Open' })]);
    pasteForm.addEventListener('submit', (event) => {
        event.preventDefault();
        if (openCode(pasteField.value, 'the field')) {
            pasteField.value = '';
            pasteForm.hidden = true;
        }
    });
    pasteField.addEventListener('keydown', (event) => {
        if (event.key === 'Escape')
            pasteForm.hidden = true;
    });

    document.head.append(element('style', { textContent: kStyle }));
    const openDialog = () => exportDialog(exportSound);
    document.getElementById('toolbar').append(
        button('Open…', 'Open a WAV file from Bleepforge, a state file or a preset (Ctrl+O); or drop one on the page',
               () => picker.click()),
        button('Export…', 'Export the sound as a WAV file that opens again as the sound (Ctrl+E)', openDialog),
        element('span', { className: 'paste' }, [
            button('Paste code…', `Open a sound code (${codePrefix}…); Ctrl+V on the page pastes one too`, () => {
                pasteForm.hidden = !pasteForm.hidden;
                if (!pasteForm.hidden)
                    pasteField.focus();
            }),
            pasteForm]),
        picker);

    document.addEventListener('keydown', (event) => {
        if (!(event.ctrlKey || event.metaKey) || event.altKey || event.shiftKey || keysAreElsewhere(event))
            return;
        const key = event.key.toLowerCase();
        if (key === 'e' || key === 'o') {
            event.preventDefault();
            key === 'e' ? openDialog() : picker.click();
        }
    });
    document.addEventListener('paste', (event) => {
        if (keysAreElsewhere(event))
            return;
        event.preventDefault();
        openCode(event.clipboardData.getData('text/plain'), 'the clipboard');
    });
    document.addEventListener('dragover', (event) => {
        event.preventDefault();
        event.dataTransfer.dropEffect = 'copy';
    });
    document.addEventListener('drop', (event) => {
        event.preventDefault();
        const [file] = event.dataTransfer.files;
        if (file)
            openFile(file);
        else
            openCode(event.dataTransfer.getData('text/plain'), 'what was dropped');
    });
}
