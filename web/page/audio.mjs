// The page's sound output: one AudioContext and the module's worklet node,
// made at the first user gesture, as browsers require; whatever is asked
// before the node is ready waits for it, and the last thing asked before that
// gesture is played at it. While a note sounds or waits, the worklet's levels
// are asked for at the desktop editor's redraw rate and handed to `onLevels`,
// which shows them; once nothing sounds it is handed silence.

export const kAuditionNote = 60;
const kAuditionSeconds = 0.5;
const kLevelsEveryMs = 40; // 25 a second: each meter's picture redraws the editor's background beneath it

export class Audio {
    constructor(bf, currentCode) {
        this.bf = bf;
        this.currentCode = currentCode;
        this.ready = null;
        this.waiting = null;
        this.deferred = null;
        this.onLevels = () => {};
        this.followingLevels = false;
        this.sentSinceAsked = false; // an answer to an earlier ask knows nothing of it
    }

    // Call from within a user gesture that begins (a press, a key down). A
    // press on a drawn button starts the output at the press's end instead:
    // the first start in a browser takes up to a tenth of a second or more,
    // which the button's sound should not wait for to be made.
    startFor(event) {
        if (this.ready || this.startPending)
            return;
        if (event.type !== 'pointerdown' || !event.target.closest?.('.drawn-button')) {
            this.start();
            return;
        }
        this.startPending = true;
        const types = ['pointerup', 'pointercancel'];
        const end = () => {
            for (const type of types)
                window.removeEventListener(type, end, true);
            // After the release's own handling, which may ask to play.
            setTimeout(() => {
                this.startPending = false;
                this.start({ gestureOver: true });
            });
        };
        for (const type of types)
            window.addEventListener(type, end, true);
    }

    // Call from within a user gesture, or at its end (`gestureOver`).
    start({ gestureOver = false } = {}) {
        if (!this.ready) {
            const context = new AudioContext();
            this.ready = this.bf.createNode(context, { sound: this.currentCode() }).then((node) => {
                node.connect(context.destination);
                node.port.onmessage = ({ data }) => {
                    if (data.type === 'levels')
                        this.levelsArrived(node, data);
                    else
                        console.warn(`bleepforge: ${data.message}`);
                };
                return { context, node };
            });
            // What waited plays when the gesture ends, unless the gesture
            // itself plays something (a note, a new sound): then that instead.
            const waited = this.waiting;
            this.waiting = null;
            if (waited && gestureOver) {
                this.send(waited);
            } else if (waited) {
                this.deferred = waited;
                const end = () => setTimeout(() => {
                    const deferred = this.deferred;
                    this.deferred = null;
                    if (deferred)
                        this.send(deferred);
                });
                for (const type of ['pointerup', 'pointercancel', 'keyup'])
                    window.addEventListener(type, end, { once: true });
            }
        }
        return this.ready;
    }

    async send(makeMessages) {
        if (!this.ready) {
            this.waiting = makeMessages;
            return;
        }
        if (makeMessages !== this.deferred)
            this.deferred = null;
        const { context, node } = await this.start();
        await context.resume();
        const frame = Math.round(context.currentTime * context.sampleRate);
        for (const message of makeMessages(frame, context.sampleRate))
            node.port.postMessage(message);
        this.sentSinceAsked = true;
        if (!this.followingLevels) {
            this.followingLevels = true;
            this.askLevels(node);
        }
    }

    askLevels(node) {
        setTimeout(() => {
            this.sentSinceAsked = false;
            node.port.postMessage({ type: 'levels' });
        }, kLevelsEveryMs);
    }

    levelsArrived(node, { left, right, sounding }) {
        this.onLevels(sounding ? left : 0, sounding ? right : 0);
        this.followingLevels = sounding || this.sentSinceAsked;
        if (this.followingLevels)
            this.askLevels(node);
    }

    // The sound the live instrument plays from now on, without playing it.
    setSound(code) {
        if (this.ready)
            return this.send(() => [{ type: 'sound', code }]);
        return Promise.resolve();
    }

    // Plays a sound once, as an audition.
    play(code) {
        return this.send((frame, rate) => [
            { type: 'sound', code },
            { type: 'noteOn', note: kAuditionNote, velocity: 127, frame },
            { type: 'noteOff', note: kAuditionNote, frame: frame + Math.round(kAuditionSeconds * rate) },
        ]);
    }

    // Releases every note now, an audition's too.
    stop() {
        if (this.ready)
            return this.send(() => [{ type: 'allNotesOff' }]);
        return Promise.resolve();
    }

    noteOn(note, velocity = 127) {
        return this.send((frame) => [{ type: 'noteOn', note, velocity, frame }]);
    }

    noteOff(note) {
        return this.send((frame) => [{ type: 'noteOff', note, frame }]);
    }
}
