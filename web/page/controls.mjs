// Small pieces the toolbar's modules share.

export function button(text, title, onClick) {
    const element = document.createElement('button');
    element.type = 'button';
    element.textContent = text;
    element.title = title;
    element.addEventListener('click', onClick);
    return element;
}

// Keys typed into a field (a value being typed, the paste field) stay there.
export function typingInField(event) {
    const target = event.target;
    return target instanceof HTMLElement &&
        (target.isContentEditable || ['INPUT', 'TEXTAREA', 'SELECT'].includes(target.tagName));
}
