// The canvas's view of the editor: the module's editor draws into its own
// bitmap, whose changed part is copied to the canvas at the screen's pixel
// ratio (pixel-doubled at 2); pointer events go to it in CSS pixels.

const ratio = () => (window.devicePixelRatio >= 2 ? 2 : 1);

// Shift 1, control 2, alt 4, meta 8, as the editor's bindings read them.
export function modifiers(event) {
    return (event.shiftKey ? 1 : 0) | (event.ctrlKey ? 2 : 0) | (event.altKey ? 4 : 0) | (event.metaKey ? 8 : 0);
}

export class EditorView {
    constructor(editor, canvas) {
        this.editor = editor;
        this.canvas = canvas;
        this.context2d = canvas.getContext('2d');
        this.width = editor.width();
        this.height = editor.height();
        canvas.style.width = `${this.width}px`;
        canvas.style.height = `${this.height}px`;
        this.drawQueued = false;
        window.matchMedia(`(resolution: ${window.devicePixelRatio}dppx)`).addEventListener('change', () => this.draw());
        this.show(ratio());
    }

    // What changed, or all of it at a new ratio.
    show(scale) {
        const { canvas, width, height } = this;
        const resized = canvas.width !== width * scale;
        if (resized) {
            canvas.width = width * scale;
            canvas.height = height * scale;
        }
        const picture = this.editor.picture(scale, resized);
        if (picture) {
            const rgba = new Uint8ClampedArray(picture.rgba);
            this.context2d.putImageData(new ImageData(rgba, picture.width * scale, picture.height * scale),
                                        picture.left * scale, picture.top * scale);
        }
    }

    // Draws at most once a frame.
    draw() {
        if (this.drawQueued)
            return;
        this.drawQueued = true;
        requestAnimationFrame(() => {
            this.drawQueued = false;
            this.show(ratio());
        });
    }

    // An event's point in editor pixels (CSS pixels from the canvas's corner).
    point(event) {
        const box = this.canvas.getBoundingClientRect();
        return [(event.clientX - box.left) * this.width / box.width, (event.clientY - box.top) * this.height / box.height];
    }
}
