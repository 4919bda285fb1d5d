// The page: the module's editor in a canvas, played live through the worklet.
// Each part of the page is a module installed here with what it needs.
import { Bleepforge } from './bleepforge.mjs';
import { EditorView, modifiers } from './view.mjs';
import { Audio } from './audio.mjs';
import { Sound } from './sound.mjs';
import { say, unsay } from './status.mjs';
import { install as installEditing } from './edit.mjs';
import * as history from './history.mjs';
import * as strip from './strip.mjs';
import * as files from './files.mjs';
import * as store from './store.mjs';
import * as links from './links.mjs';

const bf = await Bleepforge.load();
const editor = new bf.core.Editor();
editor.seed(crypto.getRandomValues(new Uint32Array(1))[0]);
const canvas = document.getElementById('editor');
const view = new EditorView(editor, canvas);
const sound = new Sound(editor);
const audio = new Audio(bf, () => sound.current());
const page = { bf, editor, view, sound, audio, say, unsay, playOnChange: true };
audio.onLevels = (left, right) => {
    editor.setMeters(left, right);
    view.draw();
};

// A change heard: every change of the sound but the one kept from the last
// visit plays it once, unless the user turned that off; the keys then play
// the new sound.
sound.listen((code, cause) => {
    if (cause === 'restore' || !page.playOnChange)
        audio.setSound(code);
    else
        audio.play(code);
    view.draw();
});

// A knob being dragged is heard as it moves: the live instrument follows the
// sound while the press lasts (a note held on the keys changes with it); the
// change is told, and auditioned, at the release.
let playing = null;
function follow() {
    const code = editor.code();
    if (code !== playing) {
        playing = code;
        audio.setSound(code);
    }
}

let pressed = false;
canvas.addEventListener('pointerdown', (event) => {
    canvas.setPointerCapture(event.pointerId);
    audio.start();
    pressed = true;
    playing = sound.current();
    editor.mouseDown(...view.point(event), event.button, modifiers(event));
    view.draw();
});
canvas.addEventListener('pointermove', (event) => {
    if (pressed) {
        editor.mouseDrag(...view.point(event), event.button === 2 || event.buttons === 2 ? 2 : 0, modifiers(event));
        follow();
    } else {
        editor.mouseOver(...view.point(event), modifiers(event));
    }
    view.draw();
});
// A cancelled press (a touch taken over by the browser) ends as a release
// where it was, keeping what it moved.
function release(event) {
    if (!pressed)
        return;
    pressed = false;
    editor.mouseUp(...view.point(event), event.button, modifiers(event));
    view.draw();
    sound.notice('edit');
}
canvas.addEventListener('pointerup', release);
canvas.addEventListener('pointercancel', release);
canvas.addEventListener('contextmenu', (event) => event.preventDefault());

// The kept sound and a link's are shown last, so that the history and the
// strip hear of them.
installEditing(page);
history.install(page);
strip.install(page);
files.install(page);
store.install(page);
links.install(page);

// A toolbar control clicked with the mouse gives the keys back to the page,
// so that Space plays the sound instead of pressing the control again.
document.getElementById('toolbar').addEventListener('click', (event) => {
    const control = event.target.closest('button, input');
    if (event.detail > 0 && control)
        control.blur();
});

// A first visit is told where to begin; a return, with its sounds kept, is not.
function firstVisit() {
    try {
        return localStorage.getItem(store.kKeptKey) === null;
    } catch {
        return true;
    }
}
if (!document.getElementById('status').textContent && firstVisit())
    say('Press a generator to make a sound. Space plays it, keys A to K play notes, ' +
        'and a click on a value types one.');

window.bleepforgePage = page; // for the browser tests
document.body.dataset.ready = 'true';
