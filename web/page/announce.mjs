// What changed, said to screen readers once the new sound's length is
// known: its kind and slot as the editor shows them, and its length
// ("pickup 3, 0.48 s").
export function install(page) {
    const { editor, sound, strip } = page;
    const region = document.getElementById('announce');
    let changed = null; // the code of a change not yet told
    sound.listen((code, cause) => {
        changed = cause === 'restore' ? null : code;
    });
    strip.onRendered.push((picture, code) => {
        if (code !== changed || picture.error)
            return;
        changed = null;
        const seconds = (picture.channels[0].length / picture.rate).toFixed(2);
        region.textContent = `${editor.kind() || 'sound'} ${editor.slots().shown + 1}, ${seconds} s`;
    });
}
