// The page's current sound, and who hears of its changes: the history, the
// player, the link in the address bar, the kept sounds, the waveform strip.
// A listener gets (code, cause); causes are 'edit' (a press or drag in the
// editor), 'undo', 'redo', 'open' (a file, a pasted code, a link) and
// 'restore' (the sound kept from the last visit).

export class Sound {
    constructor(editor) {
        this.editor = editor;
        this.code = editor.code();
        this.listeners = [];
    }

    current() {
        return this.code;
    }

    listen(listener) {
        this.listeners.push(listener);
    }

    // After the editor handled an event: tells of the sound if it changed.
    notice(cause = 'edit') {
        const code = this.editor.code();
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
