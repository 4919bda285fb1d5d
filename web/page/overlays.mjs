// The page's own elements over the drawn editor, laid again with its tiles:
// over each drawn button a real button, named as drawn ("Pickup"), which the
// keys and screen readers reach and which a tap presses as it presses the
// drawn one; over each knob a touch target that keeps a vertical drag for
// the knob (the page scrolls elsewhere), where a long press opens the
// knob's value entry.

// A touch held this long without moving opens the value entry.
const kLongPressMs = 500;
const kLongPressSlop = 10; // CSS pixels a held finger may wander

// Where a control lies in a tile, in the tile's CSS pixels; null when the
// tile does not show all of it.
function spotIn(tile, rect) {
    if (rect.top < tile.top || rect.top + rect.height > tile.bottom)
        return null;
    const span = tile.spans.find((s) => rect.left >= s.left && rect.left + rect.width <= s.right);
    if (!span)
        return null;
    return { left: (span.x + rect.left - span.left) * tile.scale, top: (rect.top - tile.top) * tile.scale,
             width: rect.width * tile.scale, height: rect.height * tile.scale };
}

function placed(element, spot) {
    Object.assign(element.style, { left: `${spot.left}px`, top: `${spot.top}px`, width: `${spot.width}px`,
                                   height: `${spot.height}px` });
    return element;
}

function drawnButton(page, control) {
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'drawn-button';
    button.textContent = control.name;
    button.title = control.tooltip;
    // A tap or click reaches the editor as the press it is; only the keys
    // and assistive technology, which press without a pointer, land here.
    button.addEventListener('click', (event) => {
        if (event.detail === 0)
            page.pressControl(control);
    });
    return button;
}

function knobTarget(page, control) {
    const target = document.createElement('div');
    target.className = 'knob-target';
    target.setAttribute('aria-hidden', 'true');
    let timer = 0, watching = null;
    const cancel = () => {
        clearTimeout(timer);
        watching?.abort();
        watching = null;
    };
    target.addEventListener('pointerdown', (event) => {
        cancel();
        if (event.pointerType !== 'touch' || !event.isPrimary)
            return;
        const { pointerId, clientX, clientY } = event;
        // The editor captures the press on its tile: the finger's moves and
        // its lift arrive there, not here, so they are heard on the document.
        watching = new AbortController();
        const options = { signal: watching.signal };
        document.addEventListener('pointermove', (move) => {
            if (move.pointerId === pointerId && Math.hypot(move.clientX - clientX, move.clientY - clientY) > kLongPressSlop)
                cancel();
        }, options);
        for (const type of ['pointerup', 'pointercancel'])
            document.addEventListener(type, (end) => end.pointerId === pointerId && cancel(), options);
        timer = setTimeout(() => {
            cancel();
            page.openValueEntry(control);
        }, kLongPressMs);
    });
    return target;
}

export function install(page) {
    const { view } = page;
    const lay = (tiles) => {
        for (const control of view.controls) {
            const make = control.kind === 'button' ? drawnButton : control.kind === 'knob' ? knobTarget : null;
            if (!make)
                continue;
            for (const tile of tiles) {
                const spot = spotIn(tile, control.rect);
                if (spot) {
                    tile.element.append(placed(make(page, control), spot));
                    break;
                }
            }
        }
    };
    view.onArranged.push(lay);
    lay(view.tiles);
}
