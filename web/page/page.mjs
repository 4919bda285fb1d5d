// The page: the module's editor in a canvas, played live through the worklet.
// Each part of the page is a module installed here with what it needs.
import { Bleepforge } from './bleepforge.mjs';
import { EditorView, modifiers } from './view.mjs';
import { Audio } from './audio.mjs';
import { Sound } from './sound.mjs';
import { say } from './status.mjs';
import * as history from './history.mjs';
import * as strip from './strip.mjs';
import * as files from './files.mjs';

const bf = await Bleepforge.load();
const editor = new bf.core.Editor();
editor.seed(crypto.getRandomValues(new Uint32Array(1))[0]);
const canvas = document.getElementById('editor');
const view = new EditorView(editor, canvas);
const sound = new Sound(editor);
const audio = new Audio(bf, () => sound.current());
const page = { bf, editor, view, sound, audio, say };

// A change heard: every change of the sound plays it once.
sound.listen((code) => {
    audio.play(code);
    view.draw();
});

let pressed = false;
canvas.addEventListener('pointerdown', (event) => {
    canvas.setPointerCapture(event.pointerId);
    audio.start();
    pressed = true;
    editor.mouseDown(...view.point(event), event.button, modifiers(event));
    view.draw();
});
canvas.addEventListener('pointermove', (event) => {
    if (pressed)
        editor.mouseDrag(...view.point(event), event.button === 2 || event.buttons === 2 ? 2 : 0, modifiers(event));
    else
        editor.mouseOver(...view.point(event), modifiers(event));
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

history.install(page);
strip.install(page);
files.install(page);
window.bleepforgePage = page; // for the browser tests
document.body.dataset.ready = 'true';
