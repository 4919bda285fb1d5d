// The editor's pointer beyond press and drag: the double-click, the wheel,
// tooltips, and the notes of the on-screen keyboard.
import { modifiers } from './view.mjs';

// A wheel change is heard once the wheel rests this long.
const kWheelRestMs = 300;
// One wheel step: Chromium's pixels for a notch, or Firefox's lines.
const kPixelsPerStep = 100;
const kLinesPerStep = 3;

export function install(page, prompts) {
    const { editor, view, sound, audio } = page;
    const area = view.area;

    // The key the on-screen keyboard holds becomes a note-off and a note-on,
    // as the plug-in turns it into notes.
    let keyboardNote = -1;
    function playKeyboard() {
        const { note, velocity } = editor.keyboardNote();
        if (note === keyboardNote)
            return;
        if (keyboardNote >= 0)
            audio.noteOff(keyboardNote);
        if (note >= 0)
            audio.noteOn(note, velocity);
        keyboardNote = note;
    }

    // After the page's own handling of each event.
    area.addEventListener('pointerdown', () => {
        prompts.show();
        playKeyboard();
    });
    area.addEventListener('pointermove', (event) => {
        playKeyboard();
        const tile = view.tileOf(event);
        if (event.buttons === 0 && tile) {
            const tip = editor.tooltip();
            if (tile.element.title !== tip)
                tile.element.title = tip;
        }
    });
    area.addEventListener('pointerup', playKeyboard);
    area.addEventListener('pointercancel', playKeyboard);

    // The second press of a double-click, after the press itself, as the
    // desktop view sends it.
    area.addEventListener('mousedown', (event) => {
        if (event.detail !== 2 || event.button !== 0 || !view.tileOf(event))
            return;
        editor.mouseDblClick(...view.point(event), modifiers(event));
        view.draw();
        prompts.show();
        playKeyboard();
    });

    let partStep = 0;
    let rest = 0;
    area.addEventListener('wheel', (event) => {
        // Over a knob the wheel turns it; elsewhere the page scrolls as usual.
        if (!view.tileOf(event) || !editor.wheelTurns(...view.point(event)))
            return;
        event.preventDefault();
        prompts.end();
        const perStep = event.deltaMode === WheelEvent.DOM_DELTA_LINE ? kLinesPerStep
            : event.deltaMode === WheelEvent.DOM_DELTA_PAGE ? 1 : kPixelsPerStep;
        // A touchpad's small deltas add up to steps.
        partStep += event.deltaY / perStep;
        const steps = Math.trunc(partStep);
        partStep -= steps;
        if (steps === 0)
            return;
        editor.mouseWheel(...view.point(event), steps, modifiers(event));
        view.draw();
        clearTimeout(rest);
        rest = setTimeout(() => sound.notice('edit'), kWheelRestMs);
    }, { passive: false });
}
