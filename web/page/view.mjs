// The canvas's view of the editor: the module's editor draws into its own
// bitmap, whose changed part is copied to the canvas at the screen's pixel
// ratio (pixel-doubled at 2). The page shows that canvas in tiles: on a wide
// screen one tile of the whole editor, scaled to fit; on a narrow one the
// editor cut into tiles of its sections, stacked with the generators first,
// each scaled up and nearest-neighbour so that every label and target is
// large enough to read and touch. Pointer events are mapped back from a
// tile to editor pixels.
import { arrangement, kKeyboardTile, kMiddleCLeft } from './tiles.mjs';

const ratio = () => (window.devicePixelRatio >= 2 ? 2 : 1);

// Shift 1, control 2, alt 4, meta 8, as the editor's bindings read them.
export function modifiers(event) {
    return (event.shiftKey ? 1 : 0) | (event.ctrlKey ? 2 : 0) | (event.altKey ? 4 : 0) | (event.metaKey ? 8 : 0);
}

const inside = (rect, x, y) =>
    x >= rect.left && x < rect.left + rect.width && y >= rect.top && y < rect.top + rect.height;

export class EditorView {
    constructor(editor, canvas, area) {
        this.editor = editor;
        this.canvas = canvas;
        this.area = area;
        this.context2d = canvas.getContext('2d');
        this.canvasHome = canvas.parentElement; // where it waits while tiles show it
        this.width = editor.width();
        this.height = editor.height();
        this.controls = editor.controls();
        this.drawQueued = false;
        this.tiles = [];
        this.onArranged = [];
        this.shape = '';
        window.matchMedia(`(resolution: ${window.devicePixelRatio}dppx)`).addEventListener('change', () => {
            this.arrange();
            this.draw();
        });
        this.show(ratio());
    }

    // Lays the tiles out for the window, when its shape asks for another
    // arrangement; those who place things over the tiles hear of it.
    arrange() {
        const chosen = arrangement(this.width, this.height, window.innerWidth, window.innerHeight);
        const shape = JSON.stringify([chosen, window.devicePixelRatio]);
        if (shape === this.shape)
            return;
        this.shape = shape;
        this.mode = chosen.mode;
        document.body.dataset.layout = chosen.mode;
        this.canvasHome.append(this.canvas);
        this.area.replaceChildren();
        this.tiles = chosen.tiles.map((tile) => this.makeTile(tile));
        this.copyToTiles({ left: 0, top: 0, width: this.width, height: this.height });
        const keys = this.tiles.find((tile) => tile.name === kKeyboardTile);
        if (keys)
            keys.element.parentElement.scrollLeft = (kMiddleCLeft - keys.spans[0].left) * keys.scale;
        for (const listener of this.onArranged)
            listener(this.tiles);
    }

    // A tile: its parts (editor rectangles of one height, side by side) at a
    // scale; the whole editor's tile is the canvas itself.
    makeTile({ parts, top, bottom, scale, name }) {
        const whole = parts.length === 1 && parts[0][0] === 0 && parts[0][1] === this.width &&
            top === 0 && bottom === this.height;
        const element = document.createElement('div');
        element.className = name === kKeyboardTile ? 'tile keys' : 'tile';
        const height = bottom - top;
        const width = parts.reduce((sum, [left, right]) => sum + right - left, 0);
        Object.assign(element.style, { width: `${width * scale}px`, height: `${height * scale}px` });
        const canvas = whole ? this.canvas : document.createElement('canvas');
        canvas.setAttribute('role', 'img');
        canvas.setAttribute('aria-label', whole ? 'Sound editor' : `Sound editor: ${name}`);
        // Nearest-neighbour keeps the editor's pixels crisp at any size of a
        // whole screen pixel or more; below that it would drop whole rows of
        // the editor's text ("96" shown as "56"), so a smaller editor is smoothed.
        Object.assign(canvas.style, { width: `${width * scale}px`, height: `${height * scale}px`,
                                      imageRendering: scale * window.devicePixelRatio >= 1 ? 'pixelated' : 'auto' });
        let holder = element;
        if (name === kKeyboardTile) {
            // Keys large enough to touch are wider than a phone: they scroll.
            holder = document.createElement('div');
            holder.className = 'keys-scroller';
            holder.append(element);
        }
        element.append(canvas);
        this.area.append(holder);
        let x = 0;
        const spans = parts.map(([left, right]) => {
            const span = { left, right, x };
            x += right - left;
            return span;
        });
        const tile = { element, canvas, whole, spans, top, bottom, scale, name, width };
        element.bleepforgeTile = tile;
        return tile;
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
            this.copyToTiles(resized ? { left: 0, top: 0, width, height } : picture);
        }
    }

    // Copies a changed rectangle of the canvas to the tiles that show it, at
    // the canvas's own pixels: the tile's size in CSS pixels scales it.
    copyToTiles(changed) {
        const scale = this.canvas.width / this.width;
        for (const tile of this.tiles) {
            if (tile.whole)
                continue;
            const w = tile.width * scale;
            const h = (tile.bottom - tile.top) * scale;
            const resized = tile.canvas.width !== w || tile.canvas.height !== h;
            if (resized) {
                tile.canvas.width = w;
                tile.canvas.height = h;
            }
            const context = tile.canvas.getContext('2d');
            context.imageSmoothingEnabled = false;
            for (const span of tile.spans) {
                const left = Math.max(span.left, changed.left), right = Math.min(span.right, changed.left + changed.width);
                const top = Math.max(tile.top, changed.top), bottom = Math.min(tile.bottom, changed.top + changed.height);
                if (!resized && (left >= right || top >= bottom))
                    continue;
                const [l, r, t, b] = resized ? [span.left, span.right, tile.top, tile.bottom] : [left, right, top, bottom];
                context.drawImage(this.canvas, l * scale, t * scale, (r - l) * scale, (b - t) * scale,
                                  (span.x + l - span.left) * scale, (t - tile.top) * scale, (r - l) * scale, (b - t) * scale);
            }
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

    tileOf(event) {
        return event.target instanceof Element ? event.target.closest('.tile')?.bleepforgeTile ?? null : null;
    }

    // An event's point in editor pixels, from the tile it reached (or, in a
    // press, the tile that holds the pointer). Beyond a tile's edges a point
    // goes on from its nearest part, so that a drag leaving a tile keeps on.
    point(event) {
        const tile = this.tileOf(event) ?? this.tiles[0];
        const box = tile.element.getBoundingClientRect();
        const x = (event.clientX - box.left) * tile.width / box.width;
        const y = (event.clientY - box.top) * (tile.bottom - tile.top) / box.height;
        const span = tile.spans.find((s) => x < s.x + s.right - s.left) ?? tile.spans.at(-1);
        return [span.left + x - span.x, tile.top + y];
    }

    // Where an editor rectangle is shown: its first tile's place in the
    // document's CSS pixels, and that tile's scale (CSS pixels per editor
    // pixel); null when no tile shows it.
    placeOf(rect) {
        for (const tile of this.tiles) {
            const span = tile.spans.find((s) => inside({ left: s.left, top: tile.top, width: s.right - s.left,
                                                         height: tile.bottom - tile.top }, rect.left, rect.top));
            if (!span)
                continue;
            const box = tile.element.getBoundingClientRect();
            return { left: box.left + window.scrollX + (span.x + rect.left - span.left) * tile.scale,
                     top: box.top + window.scrollY + (rect.top - tile.top) * tile.scale, scale: tile.scale, tile, span };
        }
        return null;
    }

    // The control the editor has at a point, as controls() lists it, last
    // painted first; null for none.
    controlAt(x, y) {
        for (let i = this.controls.length - 1; i > 0; --i) {
            if (inside(this.controls[i].rect, x, y))
                return this.controls[i];
        }
        return null;
    }
}
