// The editor's interactions beyond press and drag, and the computer keyboard:
// value fields and menus, double-click, wheel, tooltips, the on-screen keys,
// musical typing, Space and Escape, and "Play on change".
import { install as installPrompts } from './prompts.mjs';
import { install as installPointer } from './pointer.mjs';
import { install as installKeys } from './keys.mjs';

export function install(page) {
    const prompts = installPrompts(page);
    page.prompts = prompts;
    installPointer(page, prompts);
    installKeys(page);
}
