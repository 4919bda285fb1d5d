// The line under the editor that tells the user what happened: one message
// at a time, each replacing the last, so that an error stays only until the
// next outcome is told. At the page's start the kept sounds and a link may
// both have news: the second is told beside the first (`also`).
const kClearAfterMs = 8000;

let timer = 0;
let shown = []; // { text, error }, in the order told

function show() {
    const line = document.getElementById('status');
    line.textContent = shown.map((message) => message.text).join(' ');
    const error = shown.some((message) => message.error);
    line.classList.toggle('error', error);
    clearTimeout(timer);
    if (!error && shown.length > 0)
        timer = setTimeout(() => say(''), kClearAfterMs);
}

export function say(text, { error = false, also = false } = {}) {
    shown = [...(also ? shown : []), ...(text ? [{ text, error }] : [])];
    show();
}

// Takes back the message that holds `part`, once it no longer holds (how to
// hear a sound, once it is heard), leaving any other.
export function unsay(part) {
    shown = shown.filter((message) => !message.text.includes(part));
    show();
}
