// The line under the editor that tells the user what happened.
const kClearAfterMs = 8000;

let timer = 0;
export function say(text, { error = false } = {}) {
    const line = document.getElementById('status');
    line.textContent = text;
    line.classList.toggle('error', error);
    clearTimeout(timer);
    if (!error)
        timer = setTimeout(() => { line.textContent = ''; }, kClearAfterMs);
}
