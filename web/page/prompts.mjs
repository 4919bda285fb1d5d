// The value fields and pop-up menus the editor opens. The editor keeps each
// as a request (editor.prompt()); it is shown here in HTML over its control
// and answered through the editor, which applies the answer with the app's
// rules. A field: characters its rules refuse never go in, Enter sets the
// value, a click elsewhere sets a number or keeps the value, Escape changes
// nothing. A menu: the current entry checked; a choice sets it, Escape or a
// click elsewhere closes it.

const kStyle = `
.bleepforge-field { position: absolute; box-sizing: border-box; margin: 0; padding: 0; border: none;
                    outline: 1px solid #6a9cff; font-family: sans-serif; z-index: 10; }
.bleepforge-menu { position: absolute; z-index: 10; min-width: 8em; padding: 3px 0; background: #2a2a30;
                   color: #e8e8ec; border: 1px solid #55555e; box-shadow: 0 3px 10px #0008;
                   font: 13px/1.5 sans-serif; }
.bleepforge-menu [role=menuitemradio] { padding: 0 14px 0 22px; cursor: default; position: relative; }
.bleepforge-menu [role=menuitemradio][aria-checked=true]::before { content: "\\2713"; position: absolute; left: 7px; }
.bleepforge-menu [role=menuitemradio]:focus { background: #3d5a99; outline: none; }
.bleepforge-menu [aria-disabled=true] { color: #77777f; }
.bleepforge-menu [role=separator] { border-top: 1px solid #55555e; margin: 3px 0; }
#editor-area:focus { outline: none; }
`;

export function install(page) {
    const { editor, view, sound, say } = page;
    const area = view.area;
    area.tabIndex = -1; // takes the keys back when a field or menu closes
    const style = document.createElement('style');
    style.textContent = kStyle;
    document.head.append(style);
    let open = null; // { kind, element, end }

    // Puts an element at an editor rectangle's corner (its bottom-left when
    // below), in the document's CSS pixels, where a tile shows it; the CSS
    // pixels per editor pixel there, and the rectangle's top in the window.
    function place(element, rect, below = false) {
        const box = area.getBoundingClientRect();
        const spot = view.placeOf(rect) ?? { left: box.left + window.scrollX, top: box.top + window.scrollY, scale: 1 };
        element.style.left = `${spot.left}px`;
        element.style.top = `${spot.top + (below ? rect.height * spot.scale : 0)}px`;
        return { scale: spot.scale, top: spot.top - window.scrollY };
    }

    let refusal = ''; // said by an open field, taken back when it closes
    // The keys go back to the editor unless the user moved them elsewhere.
    function close(refocus = true) {
        const was = open;
        open = null;
        was?.element.remove();
        if (refocus)
            area.focus({ preventScroll: true });
        if (refusal && document.getElementById('status').textContent === refusal)
            say('');
        refusal = '';
    }

    function changed() {
        view.draw();
        sound.notice('edit');
    }

    function openField(request) {
        const input = document.createElement('input');
        Object.assign(input, { type: 'text', className: 'bleepforge-field', value: request.text,
                               spellcheck: false, autocomplete: 'off' });
        if (request.maxLength > 0)
            input.maxLength = request.maxLength;
        const { scale } = place(input, request);
        Object.assign(input.style, {
            width: `${request.width * scale}px`, height: `${request.height * scale}px`,
            fontSize: `${0.9 * request.size * scale}px`, textAlign: request.align,
            color: request.color, background: request.background,
        });
        let accepted = input.value;
        input.addEventListener('beforeinput', (event) => {
            if (!event.inputType.startsWith('insert'))
                return;
            const added = event.data ?? event.dataTransfer?.getData('text/plain') ?? '';
            const next = input.value.slice(0, input.selectionStart) + added + input.value.slice(input.selectionEnd);
            if (!editor.entryAccepts(next))
                event.preventDefault();
        });
        // What slips past (composition, autofill) is taken back.
        input.addEventListener('input', () => {
            if (editor.entryAccepts(input.value))
                accepted = input.value;
            else
                input.value = accepted;
        });
        input.addEventListener('keydown', (event) => {
            event.stopPropagation(); // typing is not playing
            if (event.key === 'Enter') {
                event.preventDefault();
                const refused = editor.enterText(input.value);
                if (refused) {
                    say(refused, { error: true });
                    refusal = input.title = refused;
                    input.select();
                    return;
                }
                close();
                changed();
            } else if (event.key === 'Escape') {
                event.preventDefault();
                editor.cancelEntry();
                close();
                view.draw();
            }
        });
        const end = (refocus = true) => {
            if (open?.element !== input)
                return;
            editor.endEntry(input.value);
            close(refocus);
            changed();
        };
        input.addEventListener('blur', (event) => end(!event.relatedTarget));
        // The second press of the double-click that opened it lands here.
        input.addEventListener('dblclick', () => input.select());
        open = { kind: 'text', element: input, end };
        document.body.append(input);
        input.focus({ preventScroll: true });
        input.select();
    }

    function openMenu(request) {
        const menu = document.createElement('div');
        menu.className = 'bleepforge-menu';
        menu.setAttribute('role', 'menu');
        const items = [];
        request.entries.forEach((entry, index) => {
            const item = document.createElement('div');
            if (entry.separator) {
                item.setAttribute('role', 'separator');
            } else {
                item.setAttribute('role', 'menuitemradio');
                item.setAttribute('aria-checked', String(entry.checked));
                item.textContent = entry.text;
                item.dataset.index = index;
                if (entry.enabled) {
                    item.tabIndex = -1;
                    items.push(item);
                } else {
                    item.setAttribute('aria-disabled', 'true');
                }
            }
            menu.append(item);
        });
        const dismiss = (refocus = true) => {
            editor.cancelEntry();
            close(refocus);
        };
        const pick = (item) => {
            close();
            if (editor.choose(Number(item.dataset.index)))
                changed();
        };
        menu.addEventListener('click', (event) => {
            const item = event.target.closest('[role=menuitemradio]');
            if (items.includes(item))
                pick(item);
        });
        menu.addEventListener('keydown', (event) => {
            event.stopPropagation();
            const at = items.indexOf(document.activeElement);
            if (event.key === 'ArrowDown' || event.key === 'ArrowUp') {
                const step = event.key === 'ArrowDown' ? 1 : -1;
                items[(at + step + items.length) % items.length]?.focus();
            } else if (event.key === 'Enter' || event.key === ' ') {
                if (at >= 0)
                    pick(items[at]);
            } else if (event.key === 'Escape' || event.key === 'Tab') {
                dismiss();
            } else {
                return;
            }
            event.preventDefault();
        });
        menu.addEventListener('focusout', (event) => {
            if (open?.element === menu && !menu.contains(event.relatedTarget))
                dismiss(!event.relatedTarget);
        });
        const { top: above } = place(menu, request, true);
        open = { kind: 'menu', element: menu, end: dismiss };
        document.body.append(menu);
        // Above the control when there is no room below it but there is above.
        const { bottom, height } = menu.getBoundingClientRect();
        if (bottom > window.innerHeight && height <= above)
            menu.style.top = `${above + window.scrollY - height}px`;
        (items.find((item) => item.getAttribute('aria-checked') === 'true') ?? items[0])?.focus({ preventScroll: true });
    }

    // Shows what the last editor event opened, if anything.
    function show() {
        const request = editor.prompt();
        if (request)
            (request.kind === 'menu' ? openMenu : openField)(request);
    }

    // Ends an open field or menu as a click elsewhere does.
    function end() {
        open?.end();
    }

    // A press elsewhere ends what is open before anything else sees the press;
    // a press on the editor that closes a menu goes no further, as with a
    // desktop menu.
    document.addEventListener('pointerdown', (event) => {
        if (!open || open.element.contains(event.target))
            return;
        const wasMenu = open.kind === 'menu';
        open.end();
        if (wasMenu && area.contains(event.target)) {
            event.stopPropagation();
            event.preventDefault();
        }
    }, true);
    // Whatever is open would be left behind where the editor was.
    window.addEventListener('resize', () => end());
    // A press on the editor moves the keys to it, unless it opened a field or menu.
    area.addEventListener('mousedown', (event) => {
        event.preventDefault();
        if (!open)
            area.focus({ preventScroll: true });
    });
    return { show, end };
}
