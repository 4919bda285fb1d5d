// The page's current sound, and who hears of its changes: the history, the
// player, the link in the address bar, the kept sounds, the waveform strip.
// A listener gets (code, cause); causes are 'edit' (a press or drag in the
// editor), 'undo', 'redo', 'open' (a file, a pasted code, a link) and
// 'restore' (the sound kept from the last visit) and 'list' (a sound chosen
// in the list of sounds).

export class Sound {
    constructor(editor) {
        this.editor = editor;
        this.code = editor.code();
        this.listeners = [];
        this.settle = (code) => code;
    }

    // Who settles each change before it is told, the list of sounds: given
    // (code, cause, code before), it answers the code the editor is to show.
    // It hears of every event the editor handled, changed or not: a slot
    // button may change the slots alone.
    settleWith(settle) {
        this.settle = settle;
    }

    current() {
        return this.code;
    }

    listen(listener) {
        this.listeners.push(listener);
    }

    // After the editor handled an event: tells of the sound if it changed.
    notice(cause = 'edit') {
        let code = this.editor.code();
        const settled = this.settle(code, cause, this.code);
        if (settled !== code && !this.editor.setCode(settled))
            code = settled;
        if (code === this.code)
            return false;
        this.code = code;
        this.tell(cause);
        return true;
    }

    // Shows a sound from outside the editor: "" when shown, else why not.
    set(code, cause) {
        const refused = this.editor.setCode(code);
        if (refused)
            return refused;
        this.notice(cause);
        return '';
    }

    tell(cause) {
        for (const listener of this.listeners)
            listener(this.code, cause);
    }
}
