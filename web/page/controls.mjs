// Small pieces the toolbar's modules share.

export function button(text, title, onClick) {
    const element = document.createElement('button');
    element.type = 'button';
    element.textContent = text;
    element.title = title;
    element.addEventListener('click', onClick);
    return element;
}

// Keys typed into a field (a value being typed, the paste field) stay
// there, and an open dialog keeps the page's shortcuts from what is behind it.
export function keysAreElsewhere(event) {
    const target = event.target;
    const inField = target instanceof HTMLElement &&
        (target.isContentEditable || ['INPUT', 'TEXTAREA', 'SELECT'].includes(target.tagName));
    return inField || document.querySelector('dialog[open]') !== null;
}

export function element(tag, properties = {}, children = []) {
    const made = Object.assign(document.createElement(tag), properties);
    made.append(...children);
    return made;
}

// Hands bytes to the browser as a file it saves.
export function download(bytes, name, type = 'audio/wav') {
    const url = URL.createObjectURL(new Blob([bytes], { type }));
    const link = element('a', { href: url, download: name });
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 0);
}
