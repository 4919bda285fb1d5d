// Links to sounds: the URL's fragment holds the current sound, so the address
// bar is always a link to it, and opening such a URL (or pasting one into this
// tab) shows that sound. The fragment is the code's short form ("bfz1.…");
// a code as `bleepforge share` prints it opens too.

// What a sound shown before the first gesture waits for.
export const kHearIt = 'press any key or click to hear it';

// The fragment as typed or pasted: browsers may have escaped some of it.
function fragmentText() {
    const raw = location.hash.slice(1);
    try {
        return decodeURIComponent(raw).trim();
    } catch {
        return raw.trim();
    }
}

function linkOf(bf, code) {
    return bf.core.linkOfCode(code).link ?? code;
}

// Replaces the fragment without a new history entry, so Back is not flooded.
function follow(bf, code) {
    const url = new URL(location.href);
    url.hash = linkOf(bf, code);
    if (url.href !== location.href)
        history.replaceState(history.state, '', url);
}

export const kLayered = 'a layered sound, which the page\'s list does not hold yet: open it in the app';

// A whole, valid layered code: not a damaged link, only one the page cannot show.
export function isLayeredSound(bf, text) {
    if (!text.startsWith('bfl1:'))
        return false;
    try {
        bf.layered(text);
        return true;
    } catch {
        return false;
    }
}

// Shows a link's sound and says so. A reload shows the sound it had again,
// which is no news; opening a link is, even to the sound already shown. At
// the page's start (`also`) the message goes beside the kept sounds' news.
function tellOpened(page, text, { reloaded = false, also = false } = {}) {
    if (isLayeredSound(page.bf, text)) {
        page.say(`This link holds ${kLayered}, so the page shows the sound it had.`, { error: true, also });
        return;
    }
    const { code, error, reason, why: damage } = page.bf.core.codeOfLink(text);
    const shown = page.sound.current();
    const refused = error ?? page.sound.set(code, 'open');
    if (refused) {
        const why = reason === 'damaged' ? damage : refused;
        page.say(`This link is damaged (${why}), so the page shows the sound it had. Ask for the link again.`,
                 { error: true, also });
        return;
    }
    if (code === shown) {
        if (reloaded)
            return;
        page.sound.tell('open');
    }
    page.say(page.audio.ready ? 'Opened the sound in the link.' : `Opened a shared sound: ${kHearIt}.`, { also });
}

function reloaded() {
    const [navigation] = performance.getEntriesByType('navigation');
    return navigation?.type === 'reload' || navigation?.type === 'back_forward';
}

// The browser plays nothing before a gesture: the first one starts the audio,
// which then plays what waits, such as a sound opened from a link.
function startAudioAtFirstGesture(page) {
    const start = (event) => {
        page.audio.startFor(event);
        page.unsay(kHearIt);
    };
    for (const type of ['pointerdown', 'keydown'])
        window.addEventListener(type, start, { capture: true, once: true });
}

// "Copy link": to the clipboard, or, where the browser refuses it, selected
// in a field for the user to copy.
function copyButton(page) {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = 'Copy link';
    button.title = 'Copy a link that opens this sound (the address bar always holds it)';
    const field = document.createElement('input');
    field.id = 'link';
    field.readOnly = true;
    field.hidden = true;
    field.size = 40;
    field.setAttribute('aria-label', 'Link to this sound');
    button.addEventListener('click', async () => {
        follow(page.bf, page.sound.current());
        try {
            await navigator.clipboard.writeText(location.href);
            field.hidden = true;
            page.say('Copied a link to this sound: paste it anywhere to share the sound.');
        } catch {
            field.value = location.href;
            field.hidden = false;
            field.focus();
            field.select();
            page.say('The browser did not allow copying: the link is selected in the field, copy it with Ctrl+C (⌘C on a Mac).');
        }
    });
    const toolbar = document.getElementById('toolbar');
    toolbar.append(button, field);
    return field;
}

export function install(page) {
    const { bf, sound } = page;
    startAudioAtFirstGesture(page);
    const text = fragmentText();
    if (text)
        tellOpened(page, text, { reloaded: reloaded(), also: true });
    follow(bf, sound.current());
    const field = copyButton(page);
    sound.listen((code) => {
        follow(bf, code);
        if (!field.hidden)
            field.value = location.href;
    });
    window.addEventListener('hashchange', () => {
        const pasted = fragmentText();
        if (pasted && pasted !== linkOf(bf, sound.current()))
            tellOpened(page, pasted);
        follow(bf, sound.current());
    });
}
