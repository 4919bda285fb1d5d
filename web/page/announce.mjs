// What changed, said to screen readers once the new sound's length is
// known: its kind and slot as the editor shows them, and its length
// ("pickup 3, 0.48 s"). Undo and redo name the sound they bring back as it
// was named when made ("undo: slash 3, 0.41 s"): the editor's last
// generator need not have made it.
import { kSteps } from './history.mjs';

export function install(page) {
    const { editor, sound, strip } = page;
    const region = document.getElementById('announce');
    // What the list of sounds did, said at once ("pickup 3 starred").
    page.announce = (text) => { region.textContent = text; };
    const names = new Map(); // code: its name when made ("slash 3"), oldest first, as many as undo reaches
    let changed = null; // { code, cause } of a change not yet told
    sound.listen((code, cause) => {
        const stepped = cause === 'undo' || cause === 'redo';
        if (!stepped) {
            names.delete(code);
            names.set(code, `${editor.kind() || 'sound'} ${editor.slotShown() + 1}`);
            if (names.size > kSteps + 1)
                names.delete(names.keys().next().value);
        }
        const said = stepped ? `${cause}: ${names.get(code) ?? 'sound'}` : names.get(code);
        changed = cause === 'restore' ? null : { code, said };
    });
    strip.onRendered.push((picture, code) => {
        if (code !== changed?.code || picture.error)
            return;
        const { said } = changed;
        changed = null;
        const seconds = (picture.channels[0].length / picture.rate).toFixed(2);
        region.textContent = `${said}, ${seconds} s`;
    });
}
