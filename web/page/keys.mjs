// The computer keyboard, as in the app: A W S E D F T G Y H U J K play from C
// up to the next C, from middle C moved by the octave, which Z and X take
// down and up; Space plays the sound and Escape stops it; 1 to 7 make a
// sound of each kind in the order of the editor's buttons, M mutates it and
// R makes a random one. Keys typed in a field, and combinations with Ctrl,
// Alt or Meta, are left alone. Also the Play button and the "Play on
// change" toggle, remembered between visits.
import { button } from './controls.mjs';

const kPianoKeys = [...'awsedftgyhujk'];
const kMiddleC = 60;
const kOctaveReach = 4; // octaves from middle C either way
const kTypedVelocity = 100;
// The drawn buttons the keys press, by their names.
const kGeneratorKeys = { 1: 'Pickup', 2: 'Shoot', 3: 'Powerup', 4: 'Hit', 5: 'Jump', 6: 'Blip', 7: 'Slash',
                         m: 'Mutate', r: 'Random' };
const kPlayOnChangeKey = 'bleepforge.playOnChange';

function typingIn(target) {
    return target instanceof HTMLElement && (target.isContentEditable ||
        target.matches('textarea, select, input:not([type=checkbox], [type=radio], [type=button], [type=submit], [type=reset], [type=range])'));
}

// A focused control that Space presses.
function pressable(target) {
    return target instanceof HTMLElement && target.matches('button, input, select, textarea, summary, a[href]');
}

function storedPlayOnChange() {
    try {
        return localStorage.getItem(kPlayOnChangeKey) !== 'false';
    } catch {
        return true; // storage refused: the default
    }
}

function installPlayOnChange(page) {
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.id = 'play-on-change';
    box.checked = storedPlayOnChange();
    page.playOnChange = box.checked;
    box.addEventListener('change', () => {
        page.playOnChange = box.checked;
        try {
            localStorage.setItem(kPlayOnChangeKey, String(box.checked));
        } catch {
            page.say('The browser keeps no settings for this page: "Play on change" is back on at the next visit.');
        }
    });
    const label = document.createElement('label');
    label.title = 'Play the sound whenever it changes';
    label.append(box, ' Play on change');
    // A click leaves the keys with the editor, so Space still plays.
    label.addEventListener('mousedown', (event) => event.preventDefault());
    document.getElementById('toolbar').append(label);
}

function installPlay(page) {
    const play = button('▶ Play', 'Play the sound (Space)', () => {
        page.audio.start();
        page.audio.play(page.sound.current());
    });
    play.id = 'play';
    document.getElementById('toolbar').prepend(play);
}

export function install(page) {
    const { audio, sound, view } = page;
    installPlay(page);
    installPlayOnChange(page);

    let octave = 0;
    const shown = document.createElement('span');
    shown.id = 'octave';
    shown.title = 'Z and X: an octave down and up';
    const showOctave = () => { shown.textContent = `Octave: C${4 + octave}`; };
    showOctave();
    document.getElementById('toolbar').append(shown);

    // By the physical key, so that a release ends the note its press began
    // whatever the octave is by then.
    const held = new Map();
    const releaseAll = () => {
        for (const note of held.values())
            audio.noteOff(note);
        held.clear();
    };

    window.addEventListener('keydown', (event) => {
        if (event.defaultPrevented || event.isComposing || typingIn(event.target) || event.ctrlKey || event.altKey ||
            event.metaKey)
            return;
        const key = event.key.toLowerCase();
        if (key === ' ') {
            if (pressable(event.target))
                return;
            event.preventDefault();
            if (!event.repeat)
                audio.play(sound.current());
        } else if (key === 'escape') {
            audio.stop();
        } else if (key === 'z' || key === 'x') {
            octave = Math.max(-kOctaveReach, Math.min(kOctaveReach, octave + (key === 'z' ? -1 : 1)));
            showOctave();
        } else if (Object.hasOwn(kGeneratorKeys, key)) {
            event.preventDefault();
            const control = view.controls.find((c) => c.kind === 'button' && c.name === kGeneratorKeys[key]);
            if (!event.repeat)
                page.pressControl(control);
        } else if (kPianoKeys.includes(key)) {
            event.preventDefault();
            if (held.has(event.code))
                return; // a held key repeats; its note sounds once
            const note = kMiddleC + 12 * octave + kPianoKeys.indexOf(key);
            held.set(event.code, note);
            audio.noteOn(note, kTypedVelocity);
        }
    });
    window.addEventListener('keyup', (event) => {
        const note = held.get(event.code);
        if (note === undefined)
            return;
        held.delete(event.code);
        audio.noteOff(note);
    });
    // Keys released while the page had no focus never tell it.
    window.addEventListener('blur', releaseAll);
}
