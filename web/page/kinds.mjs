// Kinds beyond the generator buttons, as the app's Kinds menu offers them:
// the recipes the program ships (the explosion) and the user's own, opened
// from a .toml file or pasted, kept in localStorage for the next visit. Each
// text is read by the module's recipe reader; one it refuses is kept and
// shown greyed with the reason, never dropped. A kind's sound joins the list
// as a generator's does, the locked values kept.
import { button, element } from './controls.mjs';

export const kKindsKey = 'bleepforge.kinds.v1';
const kMostRecipeBytes = 1024 * 1024;
const kTooLarge = 'too large for a recipe: a recipe holds at most 1 MiB';

function storedKinds(say) {
    let text = null;
    try {
        text = localStorage.getItem(kKindsKey);
        const kinds = text === null ? [] : JSON.parse(text);
        if (Array.isArray(kinds) && kinds.every((k) => typeof k?.name === 'string' && typeof k?.text === 'string'))
            return kinds;
    } catch {
        // read below as damaged
    }
    if (text !== null)
        say('Your recipe kinds kept from the last visit cannot be read: they stay in this site\'s storage as ' +
            `"${kKindsKey}", and new ones are kept for this visit only.`, { error: true, also: true });
    return null;
}

export function install(page) {
    const { bf, library, say } = page;
    const kept = storedKinds(say);
    const own = kept ?? [];
    const builtIn = (name) => {
        try {
            bf.generate(name, { seed: 0 });
            return true;
        } catch {
            return false;
        }
    };
    // [{ name, text, recipe ({ bytes, description } or { error }), own }]
    const read = ({ name, text }, mine) => ({ name, text, own: mine, recipe: builtIn(name)
        ? { error: 'a generator has this name: rename the kind to use it' } : bf.core.recipeOf(text, name) });
    let kinds = [];
    const menu = element('select', { id: 'kind', ariaLabel: 'Kind' });
    const fill = (chosen) => {
        kinds = [...bf.core.shippedKinds().map((k) => read(k, false)), ...own.map((k) => read(k, true))];
        menu.replaceChildren(...kinds.map((kind, i) => element('option', {
            value: i, disabled: Boolean(kind.recipe.error), title: kind.recipe.error ?? kind.recipe.description,
            textContent: kind.name + (kind.recipe.error ? ' (cannot be made)' : kind.own ? ' (yours)' : ''),
            selected: kind.name === chosen })));
    };
    fill('explosion');

    const make = () => {
        const kind = kinds[Number(menu.value)];
        if (!kind || kind.recipe.error)
            return say(kind ? `${kind.name}: ${kind.recipe.error}` : 'No kind chosen.', { error: true });
        library.make(kind.name, kind.recipe.bytes);
    };

    // A recipe of the user's own: its name and TOML text, checked, then kept.
    const add = (name, text) => {
        name = name.trim();
        if (!name)
            return 'give the kind a name';
        if (kinds.some((k) => k.name === name))
            return `there is a kind "${name}" already: give this one another name`;
        if (new TextEncoder().encode(text).length > kMostRecipeBytes)
            return `it is ${kTooLarge}`;
        const recipe = read({ name, text }, true).recipe;
        if (recipe.error)
            return recipe.error;
        own.push({ name, text });
        let notKept = kept === null ? 'your kinds kept before cannot be read' : '';
        if (!notKept) {
            try {
                localStorage.setItem(kKindsKey, JSON.stringify(own));
            } catch (error) {
                notKept = `this browser refused to keep it (${error.name})`;
            }
        }
        fill(name);
        if (notKept)
            say(`The kind "${name}" is added for this visit only: ${notKept}.`, { error: true });
        else
            say(`The kind "${name}" is added and kept: Make makes a sound of it.`);
        return '';
    };

    const nameField = element('input', { type: 'text', ariaLabel: 'Kind name', placeholder: 'name' });
    const textField = element('textarea', { ariaLabel: 'Recipe (TOML)', rows: 6, placeholder: '[params]\n"Osc1 Type" = "Square"' });
    const problem = element('p', { className: 'problem', role: 'alert' });
    const picker = element('input', { type: 'file', accept: '.toml,text/plain', hidden: true });
    picker.addEventListener('change', async () => {
        const file = picker.files[0];
        picker.value = '';
        if (!file)
            return;
        if (file.size > kMostRecipeBytes)
            return say(`${file.name} is ${kTooLarge}.`, { error: true });
        const refused = add(file.name.replace(/\.toml$/i, ''), await file.text());
        if (refused)
            say(`${file.name}: ${refused}`, { error: true });
    });
    const form = element('form', { className: 'recipe-form', hidden: true }, [
        nameField, textField, problem,
        element('div', { className: 'tools' }, [element('button', { type: 'submit', textContent: 'Add kind' }),
            button('Cancel', 'Close without adding', () => { form.hidden = true; })])]);
    form.addEventListener('submit', (event) => {
        event.preventDefault();
        problem.textContent = add(nameField.value, textField.value);
        if (!problem.textContent) {
            form.hidden = true;
            nameField.value = textField.value = '';
            // The hidden form had the focus: the new kind's menu takes it.
            menu.focus();
        }
    });
    const row = element('div', { className: 'tools' }, [
        element('label', {}, ['Kind', menu]),
        button('Make', 'A new sound of the kind, the locks kept', make),
        button('Open recipe…', 'Add a kind of your own from a .toml recipe file', () => picker.click()),
        button('Paste recipe…', 'Add a kind of your own from a recipe\'s TOML text', () => {
            form.hidden = false;
            nameField.focus();
        }),
        picker]);
    library.addTools(row, form);
}
