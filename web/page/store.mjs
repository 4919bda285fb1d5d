// Kept sounds: the editor's slots and the current sound survive a reload, in
// localStorage as one JSON record { version, sound (its code), slots }, written
// shortly after each change and when the page goes away. The slots mirror the
// list of sounds, which keeps its own record (library.mjs). A record this
// page cannot read is set aside under a key of its own, never deleted.

import { shortened } from './bleepforge-checks.mjs';

export const kKeptKey = 'bleepforge.kept.v1';
const kVersion = 1;
const kWriteAfterMs = 300;

// The browser may refuse storage altogether (blocked, some private modes).
export function storageOf() {
    try {
        const storage = window.localStorage;
        storage.getItem(kKeptKey);
        return storage;
    } catch {
        return null;
    }
}

// Applies a kept record whole: "" when shown, else why not, with the page
// as it was.
function restore(page, text) {
    let record;
    try {
        record = JSON.parse(text);
    } catch {
        return 'it is not JSON';
    }
    if (record === null || typeof record !== 'object')
        return 'it is not a record';
    if (record.version !== kVersion)
        return `its version ${shortened(JSON.stringify(record.version))} is not ${kVersion}, the one this page reads`;
    if (typeof record.sound !== 'string')
        return 'it holds no sound';
    const before = page.editor.slots();
    const slotsRefused = page.editor.setSlots(record.slots);
    if (slotsRefused)
        return `its slots: ${slotsRefused}`;
    const soundRefused = page.sound.set(record.sound, 'restore');
    if (soundRefused) {
        page.editor.setSlots(before);
        return `its sound: ${soundRefused}`;
    }
    page.view.draw();
    return '';
}

// Keeps an unreadable record's text under a key of its own, named from
// `prefix` ('what' it held names it in the message): whether it did.
export function setAside(storage, prefix, what, text, why, say) {
    const key = `${prefix}.damaged-${new Date().toISOString()}`;
    try {
        storage.setItem(key, text);
    } catch {
        say(`${what} kept from your last visit cannot be read (${why}) nor set aside: they stay as they are, ` +
            'and nothing of this visit is kept.', { error: true, also: true });
        return false;
    }
    say(`${what} kept from your last visit cannot be read (${why}): the page starts afresh, and keeps ` +
        `them aside in this site's storage as "${key}".`, { error: true, also: true });
    return true;
}

export function install(page) {
    const storage = storageOf();
    if (!storage) {
        page.say('This browser keeps no data for this page: your sounds will be gone after a reload. ' +
                 'Export the ones you want to keep.', { error: true });
        return;
    }
    const text = storage.getItem(kKeptKey);
    const refused = text === null ? '' : restore(page, text);
    if (refused && !setAside(storage, 'bleepforge.kept', 'The sounds', text, refused, page.say))
        return;

    let written = refused ? null : text;
    let warned = false;
    const write = () => {
        const record = JSON.stringify({ version: kVersion, sound: page.sound.current(), slots: page.editor.slots() });
        if (record === written)
            return;
        try {
            storage.setItem(kKeptKey, record);
            written = record;
        } catch (error) {
            // Said beside, not over, what the page's start said of a kept record.
            if (!warned)
                page.say(`This browser refused to keep your sounds (${error.name}): they will be gone after a ` +
                         'reload. Export the ones you want to keep.', { error: true, also: true });
            warned = true;
        }
    };
    let timer = 0;
    const writeSoon = () => {
        clearTimeout(timer);
        timer = setTimeout(write, kWriteAfterMs);
    };
    page.sound.listen(writeSoon);
    // The slot buttons change the slots without changing the sound.
    window.addEventListener('pointerup', writeSoon);
    window.addEventListener('keyup', writeSoon);
    window.addEventListener('pagehide', () => {
        clearTimeout(timer);
        write();
    });
}
