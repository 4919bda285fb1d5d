// The page: the module's editor in a canvas, played live through the worklet.
// Each part of the page is a module installed here with what it needs.
import { Bleepforge } from './bleepforge.mjs';
import { EditorView, modifiers } from './view.mjs';
import { Audio } from './audio.mjs';
import { Sound } from './sound.mjs';
import { say, unsay } from './status.mjs';
import { install as installEditing } from './edit.mjs';
import { install as installOverlays } from './overlays.mjs';
import { install as installAnnouncing } from './announce.mjs';
import { install as installOffline } from './offline.mjs';
import * as history from './history.mjs';
import * as strip from './strip.mjs';
import * as files from './files.mjs';
import * as store from './store.mjs';
import * as library from './library.mjs';
import * as kinds from './kinds.mjs';
import * as links from './links.mjs';

// The steps of the page's start, as the first-sound bench reports them.
performance.mark('bleepforge:imported');
const bf = await Bleepforge.load();
performance.mark('bleepforge:loaded');
const editor = new bf.core.Editor();
editor.seed(crypto.getRandomValues(new Uint32Array(1))[0]);
const area = document.getElementById('editor-area');
const view = new EditorView(editor, document.getElementById('editor'), area);
performance.mark('bleepforge:drawn');
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

// The press lasts on the tile it began on, wherever the pointer goes.
let pressed = false;
area.addEventListener('pointerdown', (event) => {
    const tile = view.tileOf(event);
    if (!tile)
        return;
    tile.element.setPointerCapture(event.pointerId);
    audio.startFor(event);
    pressed = true;
    playing = sound.current();
    editor.mouseDown(...view.point(event), event.button, modifiers(event));
    view.draw();
});
area.addEventListener('pointermove', (event) => {
    if (!view.tileOf(event))
        return;
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
area.addEventListener('pointerup', release);
area.addEventListener('pointercancel', release);
area.addEventListener('contextmenu', (event) => event.preventDefault());

// A press and release at a control's middle, as a click there: the keys and
// assistive technology press the drawn buttons so.
function click(x, y) {
    editor.mouseDown(x, y, 0, 0);
    editor.mouseUp(x, y, 0, 0);
}
const middle = ({ left, top, width, height }) => [left + width / 2, top + height / 2];
page.pressControl = (control) => {
    audio.start();
    click(...middle(control.rect));
    view.draw();
    sound.notice('edit');
};
// A long press on a knob: the press held so far ends where it began, and
// the knob's value is typed in, as a click on its text opens it.
page.openValueEntry = (control) => {
    if (pressed) {
        pressed = false;
        editor.mouseUp(...middle(control.rect), 0, 0);
        sound.notice('edit');
    }
    editor.mouseDown(...middle(control.textArea), 0, 0);
    page.prompts.show();
    editor.mouseUp(...middle(control.textArea), 0, 0);
    view.draw();
};

// The kept sound and a link's are shown last, so that the history and the
// strip hear of them.
installEditing(page);
installOverlays(page);
view.arrange();
window.addEventListener('resize', () => view.arrange());
history.install(page);
strip.install(page);
files.install(page);
store.install(page);
library.install(page);
kinds.install(page);
links.install(page);
installAnnouncing(page);
installOffline(page);

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
        'and a click on a value (a long press by touch) types one.');

window.bleepforgePage = page; // for the browser tests
document.body.dataset.ready = 'true';
