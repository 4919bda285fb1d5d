// The page's sound output: one AudioContext and the module's worklet node,
// made at the first user gesture, as browsers require; whatever is asked
// before the node is ready waits for it, and the last thing asked before that
// gesture is played at it.

export const kAuditionNote = 60;
const kAuditionSeconds = 0.5;

export class Audio {
    constructor(bf, currentCode) {
        this.bf = bf;
        this.currentCode = currentCode;
        this.ready = null;
        this.waiting = null;
        this.deferred = null;
    }

    // Call from within a user gesture.
    start() {
        if (!this.ready) {
            const context = new AudioContext();
            this.ready = this.bf.createNode(context, { sound: this.currentCode() }).then((node) => {
                node.connect(context.destination);
                node.port.onmessage = (event) => console.warn(`bleepforge: ${event.data.message}`);
                return { context, node };
            });
            // What waited plays when the gesture ends, unless the gesture
            // itself plays something (a note, a new sound): then that instead.
            const waited = this.waiting;
            this.waiting = null;
            if (waited) {
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
