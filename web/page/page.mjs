// The page's view of the editor: the module's editor draws into its own
// bitmap, copied to the canvas at the screen's pixel ratio (pixel-doubled at
// 2); pointer events go to it in CSS pixels, and a press that changes the
// sound plays it once through the worklet.
import { Bleepforge } from './bleepforge.mjs';

const kNote = 60;
const kNoteSeconds = 0.5;

const bf = await Bleepforge.load();
const editor = new bf.core.Editor();
const canvas = document.getElementById('editor');
const context2d = canvas.getContext('2d');
const width = editor.width();
const height = editor.height();
canvas.style.width = `${width}px`;
canvas.style.height = `${height}px`;

const ratio = () => (window.devicePixelRatio >= 2 ? 2 : 1);

function show(scale) {
    if (canvas.width !== width * scale) {
        canvas.width = width * scale;
        canvas.height = height * scale;
    }
    const rgba = new Uint8ClampedArray(editor.pixels(scale));
    context2d.putImageData(new ImageData(rgba, width * scale, height * scale), 0, 0);
}

// Draws at most once a frame, and only when the editor or the ratio changed.
let drawQueued = false;
function draw() {
    if (drawQueued)
        return;
    drawQueued = true;
    requestAnimationFrame(() => {
        drawQueued = false;
        if (canvas.width !== width * ratio() || editor.dirty())
            show(ratio());
    });
}

// Shift 1, control 2, alt 4, meta 8, as the editor's bindings read them.
function modifiers(event) {
    return (event.shiftKey ? 1 : 0) | (event.ctrlKey ? 2 : 0) | (event.altKey ? 4 : 0) | (event.metaKey ? 8 : 0);
}

function point(event) {
    const box = canvas.getBoundingClientRect();
    return [(event.clientX - box.left) * width / box.width, (event.clientY - box.top) * height / box.height];
}

// Audio may start only in a user gesture: the context and its node are made
// at the first press, and sounds wait for the node.
let audio = null;
function startAudio() {
    if (!audio) {
        const context = new AudioContext();
        audio = bf.createNode(context, { sound: editor.code() }).then((node) => {
            node.connect(context.destination);
            node.port.onmessage = (event) => console.warn(`bleepforge: ${event.data.message}`);
            return { context, node };
        });
    }
    return audio;
}

async function play(code) {
    const { context, node } = await startAudio();
    await context.resume();
    const frame = Math.round(context.currentTime * context.sampleRate);
    node.port.postMessage({ type: 'sound', code });
    node.port.postMessage({ type: 'noteOn', note: kNote, velocity: 127, frame });
    node.port.postMessage({ type: 'noteOff', note: kNote, frame: frame + Math.round(kNoteSeconds * context.sampleRate) });
}

let pressed = null; // the sound when the press began
canvas.addEventListener('pointerdown', (event) => {
    canvas.setPointerCapture(event.pointerId);
    startAudio();
    pressed = editor.code();
    editor.mouseDown(...point(event), event.button, modifiers(event));
    draw();
});
canvas.addEventListener('pointermove', (event) => {
    if (pressed !== null)
        editor.mouseDrag(...point(event), event.button === 2 || event.buttons === 2 ? 2 : 0, modifiers(event));
    else
        editor.mouseOver(...point(event), modifiers(event));
    draw();
});
canvas.addEventListener('pointerup', (event) => {
    if (pressed === null)
        return;
    editor.mouseUp(...point(event), event.button, modifiers(event));
    draw();
    const code = editor.code();
    if (code !== pressed)
        play(code);
    pressed = null;
});
canvas.addEventListener('contextmenu', (event) => event.preventDefault());
window.matchMedia(`(resolution: ${window.devicePixelRatio}dppx)`).addEventListener('change', draw);

show(ratio());
document.body.dataset.ready = 'true';
