// The list of sounds, as the desktop app keeps it, from the same C++ model
// in the module (bf.core.Library): every sound made or opened joins it,
// named after its kind; a sound can be starred, renamed, taken off (and put
// back with Undo), varied, linked to and exported, alone or with others, as
// a ZIP of WAVs. The editor's slots mirror it, so that the slot box, PREV and
// NEXT and the list show the same sound. The list is kept in localStorage as
// the model's own record, checked whole when read; a record it refuses is
// set aside under a key of its own, never deleted.
import { button, download, element, keysAreElsewhere } from './controls.mjs';
import { currentChoices, wavOptions } from './exportchoices.mjs';
import { setAside, storageOf } from './store.mjs';

export const kListKey = 'bleepforge.list.v1';
const kWriteAfterMs = 300;
const kLocksKey = 'bleepforge.locks';

// The choices the list's tools keep between visits, read whole or not at all.
function storedLocks(groups) {
    try {
        const locks = JSON.parse(localStorage.getItem(kLocksKey));
        return Array.isArray(locks) ? locks.filter((lock) => groups.includes(lock)) : [];
    } catch {
        return [];
    }
}

function keepLocks(locks) {
    try {
        localStorage.setItem(kLocksKey, JSON.stringify(locks));
    } catch {
        // kept for this visit only
    }
}

const kStyle = `
#library { margin: 8px 0; }
#library h2 { font-size: 14px; margin: 4px 0; }
#library .tools { display: flex; flex-wrap: wrap; gap: 6px; align-items: center; margin: 4px 0; }
#library button, #library label, #library select, #library input, #library summary {
    font: inherit; color: #d8d8dc; min-height: 40px; box-sizing: border-box; }
#library button, #library select, #library input[type=number] {
    background: #2a2c35; border: 1px solid #454856; border-radius: 4px; padding: 3px 10px; min-width: 40px; }
#library input[type=number] { width: 4.5em; }
#library #kind { max-width: 10em; }
#library label { display: inline-flex; align-items: center; gap: 4px; }
#library input[type=checkbox] { accent-color: #d9413a; width: 20px; height: 20px; }
#library button:disabled { color: #6c6f7b; }
#library :focus-visible { outline: 2px solid #d9413a; outline-offset: 1px; }
#library details { display: inline-block; }
#library summary { display: inline-flex; align-items: center; cursor: pointer; padding: 0 10px;
                   border: 1px solid #454856; border-radius: 4px; }
#library .groups { display: flex; flex-wrap: wrap; gap: 2px 10px; padding: 4px; }
#sounds { position: relative; list-style: none; margin: 4px 0; padding: 0; overflow-y: auto; }
/* Rows out of view are neither laid out nor drawn: a long list costs its rows in view. */
#sounds li { display: flex; align-items: center; gap: 2px; border-bottom: 1px solid #2e3039;
             content-visibility: auto; contain-intrinsic-size: auto 41px; }
#sounds li[aria-current=true] { background: #3a2422; }
#sounds li[hidden] { display: none; }
#sounds .pick { flex: 1 1 auto; min-width: 0; text-align: left; background: transparent; border: none;
                overflow: hidden; text-overflow: ellipsis; white-space: nowrap; }
#sounds .pick small { color: #9a9caa; margin-left: 6px; }
#sounds .star[aria-pressed=true] { color: #f0c040; }
#sounds a { display: inline-flex; align-items: center; justify-content: center; min-width: 40px; min-height: 40px;
            color: #9ab0ff; text-decoration: none; }
#sounds input.name { flex: 1 1 auto; min-width: 0; }
#sounds .empty { color: #9a9caa; padding: 6px 0; }
#library .recipe-form { display: flex; flex-direction: column; gap: 6px; margin: 4px 0; }
#library .recipe-form[hidden] { display: none; }
#library textarea { font: 12px/1.3 monospace; color: #d8d8dc; background: #20222a; border: 1px solid #454856; }
#library input[type=text] { background: #20222a; border: 1px solid #454856; border-radius: 4px; padding: 3px 8px; }
#library .problem { color: #ff8080; margin: 0; min-height: 1.2em; }
/* Beside the editor, the list takes the column's height left, scrolling itself: the page never scrolls. */
body[data-layout=wide] #side { display: flex; flex-direction: column; height: 100vh; }
body[data-layout=wide] #library { flex: 1 1 0; min-height: 0; display: flex; flex-direction: column; margin-bottom: 0; }
body[data-layout=wide] #sounds { flex: 1 1 0; min-height: 84px; }
body[data-layout=tall] #library { width: 846px; order: 5; }
body[data-layout=narrow] #library { box-sizing: border-box; width: 100%; padding: 0 6px; order: 5; }
`;

class ListView {
    constructor(page, list) {
        this.page = page;
        this.list = list;
        this.groups = page.bf.core.lockGroups();
        this.locks = storedLocks(this.groups);
        this.build();
    }

    build() {
        document.head.append(element('style', { textContent: kStyle }));
        this.starredOnly = element('input', { type: 'checkbox', id: 'starred-only' });
        this.starredOnly.addEventListener('change', () => this.show());
        this.count = element('input', { type: 'number', min: 1, max: 100, value: 3, id: 'variation-count' });
        this.undoButton = button('Undo delete', 'Put back the sound taken off last', () => this.undo());
        this.which = element('select', { id: 'export-which' }, [
            element('option', { value: 'one', textContent: 'this sound' }),
            element('option', { value: 'starred', textContent: 'the starred' }),
            element('option', { value: 'all', textContent: 'all sounds' })]);
        this.gameNames = element('input', { type: 'checkbox', id: 'game-names' });
        this.items = element('ol', { id: 'sounds', ariaLabel: 'Sounds' });
        this.heading = element('h2', { id: 'library-title', textContent: 'Sounds' });
        const lockBoxes = this.groups.map((group) => {
            const box = element('input', { type: 'checkbox', checked: this.locks.includes(group) });
            box.addEventListener('change', () => {
                this.locks = this.groups.filter((g) => g === group ? box.checked : this.locks.includes(g));
                keepLocks(this.locks);
                this.showLocks();
            });
            return element('label', {}, [box, group]);
        });
        this.lockSummary = element('summary');
        const section = element('section', { id: 'library' }, [
            this.heading,
            element('div', { className: 'tools' }, [
                element('label', { title: 'Show only the starred sounds' }, [this.starredOnly, 'Starred only']),
                this.undoButton,
                element('details', { id: 'locks' }, [this.lockSummary,
                    element('div', { className: 'groups', role: 'group', ariaLabel: 'Locks' }, lockBoxes)])]),
            element('div', { className: 'tools' }, [
                element('label', { title: 'How many variations V makes' }, ['Variations', this.count]),
                button('Make variations', 'Variations of the sound, the locked values kept (V)', () => this.vary())]),
            element('div', { className: 'tools' }, [
                element('label', {}, ['Export', this.which]),
                element('label', { title: 'File names in lower case, without spaces' }, [this.gameNames, 'game names']),
                button('Export ZIP', 'The sounds as WAV files in one ZIP, at the export choices', () => this.exportZip())]),
            this.items]);
        section.setAttribute('aria-labelledby', 'library-title');
        document.getElementById('side').append(section);
        this.showLocks();
    }

    showLocks() {
        this.lockSummary.textContent = `${this.locks.length ? `Locks (${this.locks.length})` : 'Locks'} ▾`;
        this.lockSummary.title = 'What generators and variations keep: ' + (this.locks.join(', ') || 'nothing');
    }

    // The list drawn again: one item a sound, the chosen one marked. Only
    // the items that differ are made anew, so that a sound added costs one
    // item, not the list's length; focus stays on the part it was on.
    show() {
        const { list } = this;
        const chosen = list.current();
        const onlyStarred = this.starredOnly.checked;
        const sounds = list.rows();
        const wanted = [];
        sounds.forEach((sound, i) => {
            if (!onlyStarred || sound.starred)
                wanted.push([i, sound]);
        });
        this.items.querySelector('.empty')?.remove();
        const shown = [...this.items.children];
        wanted.forEach(([i, sound], k) => {
            const key = JSON.stringify([i, sound, i === chosen]);
            const old = shown[k];
            if (old?.dataset.key === key)
                return;
            const item = this.row(i, sound, i === chosen);
            item.dataset.key = key;
            if (!old)
                return this.items.append(item);
            const focused = old.contains(document.activeElement) ? document.activeElement.className : null;
            old.replaceWith(item);
            if (focused !== null)
                item.querySelector(focused ? `.${focused.split(' ')[0]}` : 'button')?.focus();
        });
        for (const extra of shown.slice(wanted.length))
            extra.remove();
        if (wanted.length === 0)
            this.items.append(element('li', { className: 'empty', textContent: list.size() ?
                'No starred sounds: B or ☆ stars the sound.' : 'No sounds yet: press a generator.' }));
        const starred = sounds.filter((sound) => sound.starred).length;
        this.heading.textContent = `Sounds (${list.size()}, ${starred} starred)`;
        this.undoButton.disabled = !this.list.canPutBack();
        this.reveal(this.items.querySelector('[aria-current=true]'));
    }

    // The chosen item scrolled into the list's own view, never the page's:
    // the page stays where the finger or the pointer is.
    reveal(item) {
        const list = this.items;
        if (!item || list.scrollHeight <= list.clientHeight)
            return;
        const top = item.offsetTop, bottom = top + item.offsetHeight;
        if (top < list.scrollTop)
            list.scrollTop = top;
        else if (bottom > list.scrollTop + list.clientHeight)
            list.scrollTop = bottom - list.clientHeight;
    }

    // What the list shows of itself, to tell whether a change changed it.
    glance() {
        const chosen = this.list.current();
        return `${this.list.size()} ${chosen} ${chosen >= 0 ? this.list.item(chosen).code : ''}`;
    }

    row(i, sound, chosen) {
        const seconds = sound.seconds >= 0 ? `, ${sound.seconds.toFixed(2)} s` : '';
        const pick = element('button', { type: 'button', className: 'pick', title: `Show ${sound.name}` },
                             [sound.name, element('small', { textContent: `${sound.kind}${seconds}` })]);
        pick.addEventListener('click', () => this.choose(i));
        pick.addEventListener('dblclick', () => this.startRename(i, item));
        const star = button(sound.starred ? '★' : '☆', 'Star it (B)', () => this.star(i, !sound.starred));
        star.className = 'star';
        star.setAttribute('aria-pressed', String(sound.starred));
        star.ariaLabel = `Star ${sound.name}`;
        const rename = button('✎', 'Rename it (F2)', () => this.startRename(i, item));
        rename.className = 'rename';
        rename.ariaLabel = `Rename ${sound.name}`;
        // Its address is made when it is about to be used: a link costs a deflate.
        const link = element('a', { href: '#', className: 'link', textContent: 'Link',
                                    title: 'A link that opens this sound', target: '_blank' });
        link.ariaLabel = `Link to ${sound.name}`;
        const address = () => { link.href = `#${this.page.bf.core.linkOfCode(this.list.item(i).code).link}`; };
        for (const type of ['pointerdown', 'focus', 'contextmenu'])
            link.addEventListener(type, address);
        const remove = button('✕', 'Take it off the list (Delete)', () => this.remove(i));
        remove.className = 'delete';
        remove.ariaLabel = `Delete ${sound.name}`;
        const item = element('li', {}, [pick, star, rename, link, remove]);
        item.dataset.index = i;
        if (chosen)
            item.setAttribute('aria-current', 'true');
        return item;
    }

    startRename(i, item) {
        const field = element('input', { className: 'name', value: this.list.item(i).name, ariaLabel: 'New name' });
        let done = false;
        const end = (keep) => {
            if (done)
                return;
            done = true;
            if (keep)
                this.changed(() => this.list.rename(i, field.value), { slots: false });
            else
                this.show();
        };
        field.addEventListener('keydown', (event) => {
            if (event.key === 'Enter' || event.key === 'Escape') {
                event.preventDefault();
                end(event.key === 'Enter');
                this.focusItem(i);
            }
        });
        field.addEventListener('blur', () => end(true));
        item.querySelector('.pick').replaceWith(field);
        field.focus();
        field.select();
    }

    // A change of the list: refused ones are said; the editor's slots follow
    // the list when its sounds or order may have changed, and the editor
    // shows the chosen sound.
    changed(change, { slots = true, show = false } = {}) {
        const refused = change();
        if (refused) {
            this.page.say(`The list of sounds: ${refused}`, { error: true });
            return false;
        }
        if (slots)
            this.mirror();
        if (show && this.list.current() >= 0)
            this.page.sound.set(this.list.item(this.list.current()).code, 'list');
        this.afterChange();
        return true;
    }

    mirror() {
        const refused = this.page.editor.setSlotBytes(this.list.slotBytes());
        if (refused)
            this.page.say(`The editor's slots do not follow the list: ${refused}`, { error: true });
        this.page.view.draw();
    }

    afterChange() {
        this.show();
        this.onChange();
    }

    choose(i) {
        this.changed(() => this.list.choose(i), { show: true });
    }

    star(i, starred) {
        const name = this.list.item(i).name;
        if (this.changed(() => this.list.star(i, starred), { slots: false }))
            this.page.announce(`${name} ${starred ? 'starred' : 'not starred'}`);
    }

    remove(i) {
        const name = this.list.item(i).name;
        const chosen = this.list.current() === i;
        if (!this.changed(() => this.list.remove(i), { show: chosen }))
            return;
        this.page.say(`"${name}" is off the list: Undo delete puts it back.`);
        this.page.announce(`${name} deleted`);
    }

    // The sound put back is said and takes the focus: the status line no
    // longer says it is off the list, and the keyboard stays in the list.
    undo() {
        const before = this.list.rows().map((sound) => JSON.stringify(sound));
        if (!this.changed(() => this.list.putBack(), { show: true }))
            return;
        const rows = this.list.rows();
        const at = rows.findIndex((sound, i) => JSON.stringify(sound) !== before[i]);
        this.page.say(`"${rows[at].name}" is back on the list.`);
        this.page.announce('delete undone');
        this.focusItem(at);
    }

    focusItem(i) {
        this.items.querySelector(`li[data-index="${i}"] .pick`)?.focus();
    }

    // The chosen sound, else the editor's own joins the list first.
    source() {
        if (this.list.current() < 0)
            this.changed(() => this.list.add(this.page.sound.current(), 'sound'));
        return this.list.current();
    }

    vary() {
        const count = Math.round(Number(this.count.value));
        const source = this.source();
        const name = this.list.item(source)?.name;
        const seed = crypto.getRandomValues(new Uint32Array(1))[0];
        if (this.changed(() => this.list.vary(source, count, seed, this.locks), { show: true }))
            this.page.announce(`${count} variation${count === 1 ? '' : 's'} of ${name}`);
    }

    // A sound of a recipe kind (its bytes from bf.core.recipeOf) joins the
    // list, the locked values kept, and is heard.
    make(kind, bytes) {
        const { page, list } = this;
        const before = page.sound.current();
        const refused = page.editor.makeFromRecipe(bytes);
        if (refused)
            return page.say(`${kind}: ${refused}`, { error: true });
        const answer = list.made(page.editor.code(), before, kind, this.locks);
        if (answer.error) {
            page.editor.setCode(before);
            page.view.draw();
            return page.say(`${kind}: ${answer.error}`, { error: true });
        }
        this.mirror();
        page.sound.set(answer.code, 'list');
        this.afterChange();
    }

    // More tools, above the list.
    addTools(...elements) {
        this.items.before(...elements);
    }

    starChosen() {
        const i = this.source();
        if (i >= 0)
            this.star(i, !this.list.item(i).starred);
    }

    // The sounds an export takes, by the list's order.
    exported(which) {
        if (which === 'one')
            return [this.source()];
        const chosen = [];
        this.list.rows().forEach((sound, i) => {
            if (which === 'all' || sound.starred)
                chosen.push(i);
        });
        return chosen;
    }

    exportZip() {
        const which = this.which.value;
        const indices = this.exported(which);
        if (indices.length === 0 || indices[0] < 0)
            return this.page.say(which === 'starred' ? 'No sound is starred: B or ☆ stars one.' : 'No sound to export.',
                                 { error: true });
        const names = this.list.exportNames(indices, this.gameNames.checked);
        const options = wavOptions(currentChoices());
        const files = [];
        try {
            for (const i of indices)
                files.push(this.page.bf.wav(this.list.item(i).code, options));
        } catch (error) {
            return this.page.say(`Cannot export: ${error.message}`, { error: true });
        }
        const zip = this.page.bf.core.zipOf(names, files);
        if (zip.error)
            return this.page.say(`Cannot export: ${zip.error}`, { error: true });
        const name = { one: names[0].replace(/\.wav$/, ''), starred: 'starred sounds', all: 'sounds' }[which];
        download(zip.bytes, `${this.gameNames.checked ? name.replace(/ /g, '_') : name}.zip`, 'application/zip');
        this.page.say(`Exported ${indices.length} sound${indices.length === 1 ? '' : 's'} as a ZIP.`);
    }

    // The editor handled an event, or a sound came from elsewhere: the list
    // follows (see Sound.settleWith), and answers the code the editor shows.
    settle(code, cause, before) {
        const { list, page } = this;
        if (cause === 'restore' || cause === 'list')
            return code;
        const size = list.size(), chosen = list.current(), glance = this.glance();
        let refused = '', shows = code;
        if (cause === 'open') {
            refused = code === before ? '' : list.opened(code, before);
        } else if (cause === 'undo' || cause === 'redo') {
            refused = list.settle(code);
        } else {
            const answer = list.follow(page.editor.slotShown(), page.editor.slotCount(), code, before,
                                       page.editor.kind() || 'sound', this.locks);
            refused = answer.error ?? '';
            shows = answer.code ?? code;
        }
        if (refused) {
            page.say(`The list of sounds: ${refused}`, { error: true });
            return code;
        }
        if (list.size() !== size || list.current() !== chosen || shows !== code)
            this.mirror();
        if (this.glance() !== glance)
            this.afterChange();
        return shows;
    }
}

// Reads the kept list: true when the page may keep it from now on.
function restore(page, list, storage) {
    const text = storage.getItem(kListKey);
    if (text === null) {
        // Before the list, visits kept the editor's slots: they become its sounds.
        if (page.editor.slotCount() > 0) {
            const refused = list.adoptSlots(page.editor.slots(), page.sound.current());
            if (refused)
                page.say(`The kept slots could not join the list: ${refused}`, { error: true, also: true });
        }
        return true;
    }
    const refused = list.load(text);
    return !refused || setAside(storage, 'bleepforge.list', 'The list of sounds', text, refused, page.say);
}

export function install(page) {
    const list = new page.bf.core.Library();
    const view = new ListView(page, list);
    page.library = view;
    const storage = storageOf();
    let keep = storage !== null && restore(page, list, storage);
    view.mirror();
    page.sound.settleWith((code, cause, before) => view.settle(code, cause, before));
    page.strip.onRendered.push((picture, code) => {
        if (picture.error)
            return;
        // A length is a measure, not a change: it is kept with the next one,
        // or when the page goes away.
        list.measured(code, picture.channels[0].length / picture.rate);
        if (list.current() >= 0 && list.item(list.current()).code === code)
            view.show();
    });

    let written = keep ? storage.getItem(kListKey) : null;
    let warned = false;
    let timer = 0;
    // Another tab of this site saved its list: this tab takes it whole, as
    // the model checks it, so that its next change is made on top of it.
    // False when the stored list stays this tab's to write over.
    const takeStored = (text) => {
        if (text === null || text === written)
            return false;
        const before = list.record();
        const refused = list.load(text);
        if (refused)
            return false;
        // This tab's change not yet saved is dropped for the other tab's list.
        if (before !== written)
            page.say('The list of sounds changed in another tab of this page: this tab now shows that list, ' +
                     'without its own last change.', { error: true });
        written = text;
        clearTimeout(timer);
        // The editor keeps its sound: a tab in the background neither plays
        // nor keeps one because another tab made it.
        view.mirror();
        view.show();
        return true;
    };
    window.addEventListener('storage', (event) => {
        if (keep && event.storageArea === storage && event.key === kListKey)
            takeStored(event.newValue);
    });
    const write = () => {
        if (!keep)
            return;
        const record = list.record();
        if (record === written)
            return;
        // A stored list this tab has not seen is never written over: it is
        // taken, or set aside when the model refuses it.
        const stored = storage.getItem(kListKey);
        if (takeStored(stored))
            return;
        if (stored !== null && stored !== written) {
            keep = setAside(storage, 'bleepforge.list', 'The list of sounds', stored, list.load(stored), page.say);
            if (!keep)
                return;
        }
        try {
            storage.setItem(kListKey, record);
            written = record;
        } catch (error) {
            if (!warned)
                page.say(`This browser refused to keep your list of sounds (${error.name}): export the ones you ` +
                         'want to keep.', { error: true, also: true });
            warned = true;
        }
    };
    view.onChange = () => {
        clearTimeout(timer);
        timer = setTimeout(write, kWriteAfterMs);
    };
    window.addEventListener('pagehide', () => {
        clearTimeout(timer);
        write();
    });
    view.show();

    // V varies the sound and B stars it, as in the app; Delete and F2 act on
    // the item that has the focus.
    window.addEventListener('keydown', (event) => {
        if (event.defaultPrevented || keysAreElsewhere(event) || event.ctrlKey || event.altKey || event.metaKey)
            return;
        const key = event.key.toLowerCase();
        const item = event.target instanceof Element ? event.target.closest('#sounds li[data-index]') : null;
        if (key === 'v' && !event.repeat) {
            event.preventDefault();
            view.vary();
        } else if (key === 'b' && !event.repeat) {
            event.preventDefault();
            view.starChosen();
        } else if (item && (event.key === 'Delete' || event.key === 'F2')) {
            event.preventDefault();
            const i = Number(item.dataset.index);
            if (event.key === 'Delete')
                view.remove(i);
            else
                view.startRename(i, item);
        }
    });
}
