// Undo and redo through the sounds of this visit: whole sound codes, one step
// per change, the oldest dropped first. Undo and redo show a sound through
// the current sound, so they are heard, without recording a step of their own.
import { button, keysAreElsewhere } from './controls.mjs';

export const kSteps = 500;

class History {
    constructor(present) {
        this.reset(present);
    }

    // Starts over from a sound, with nothing to undo or redo.
    reset(present) {
        this.present = present;
        this.undoSteps = [];
        this.redoSteps = [];
    }

    // A new sound after a change clears redo; the sound already there records nothing.
    record(code) {
        if (code === this.present)
            return false;
        this.undoSteps.push(this.present);
        if (this.undoSteps.length > kSteps)
            this.undoSteps.shift();
        this.redoSteps = [];
        this.present = code;
        return true;
    }

    // The sound to go back or forward to, now the present; null when none.
    undo() {
        return this.step(this.undoSteps, this.redoSteps);
    }

    redo() {
        return this.step(this.redoSteps, this.undoSteps);
    }

    step(from, to) {
        if (from.length === 0)
            return null;
        to.push(this.present);
        this.present = from.pop();
        return this.present;
    }

    canUndo() {
        return this.undoSteps.length > 0;
    }

    canRedo() {
        return this.redoSteps.length > 0;
    }
}

export function install(page) {
    const { sound, say } = page;
    const history = new History(sound.current());
    const undoButton = button('↶ Undo', 'Undo the last change of the sound (Ctrl+Z)', () => go('undo'));
    const redoButton = button('↷ Redo', 'Redo what was undone (Ctrl+Shift+Z or Ctrl+Y)', () => go('redo'));
    document.getElementById('toolbar').append(undoButton, redoButton);

    function update() {
        undoButton.disabled = !history.canUndo();
        redoButton.disabled = !history.canRedo();
    }

    function go(direction) {
        const code = history[direction]();
        if (code === null)
            return;
        const refused = sound.set(code, direction);
        if (refused)
            say(`Cannot ${direction}: ${refused}`, { error: true });
        update();
    }

    // Undo and redo have moved the present to the sound they show, so it
    // records nothing.
    sound.listen((code, cause) => {
        if (cause === 'restore')
            history.reset(code);
        else
            history.record(code);
        update();
    });

    document.addEventListener('keydown', (event) => {
        if (!(event.ctrlKey || event.metaKey) || event.altKey || keysAreElsewhere(event))
            return;
        const key = event.key.toLowerCase();
        if (key === 'z' || key === 'y') {
            event.preventDefault();
            go(key === 'y' || event.shiftKey ? 'redo' : 'undo');
        }
    });
    update();
}
